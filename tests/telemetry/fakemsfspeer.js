// An independent SimConnect client (node-simconnect) against the fake MSFS:
// opens, defines, subscribes, requests, and prints what it received as JSON.
// Usage: node fakemsfspeer.js PORT
'use strict';

const { open, Protocol, SimConnectDataType, SimObjectType } = require('node-simconnect');

const port = Number(process.argv[2]);
const result = {};
const finish = (code) => {
    process.stdout.write(JSON.stringify(result) + '\n');
    process.exit(code);
};
setTimeout(() => { result.error = 'timed out'; finish(2); }, 15000);

open('KestroxPeer', Protocol.KittyHawk, { remote: { host: '127.0.0.1', port } })
    .then(({ recvOpen, handle }) => {
        result.open = {
            name: recvOpen.applicationName,
            version: [recvOpen.applicationVersionMajor, recvOpen.applicationVersionMinor,
                recvOpen.applicationBuildMajor, recvOpen.applicationBuildMinor],
        };
        handle.on('exception', (e) => { result.error = 'exception ' + e.exception; finish(1); });
        handle.on('error', (e) => { result.error = String(e); finish(1); });
        handle.on('simObjectDataByType', (d) => {
            result.data = {
                request: d.requestID, define: d.defineID, count: d.defineCount,
                altitude: d.data.readFloat64(), title: d.data.readString256(),
            };
        });
        handle.on('event', (e) => { result.event = { id: e.clientEventId, data: e.data }; });
        handle.on('quit', () => { result.quit = true; handle.close(); finish(0); });

        handle.addToDataDefinition(7, 'PLANE ALTITUDE', 'feet', SimConnectDataType.FLOAT64, 0);
        handle.addToDataDefinition(7, 'TITLE', null, SimConnectDataType.STRING256, 0);
        handle.subscribeToSystemEvent(3, 'SimStop');
        handle.requestDataOnSimObjectType(5, 7, 0, SimObjectType.USER);
    })
    .catch((e) => { result.error = String(e); finish(1); });
