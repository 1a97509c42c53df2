-- Kestrox telemetry export for DCS World.
--
-- Sends the aircraft's state to kestrox-vantrell once per frame (at most every
-- 10 ms) as one UDP datagram of ";"-separated fields:
--   aircraft;IAS km/h;vertical speed m/s;AoA deg;g;gear 0-1;airbrake 0-1;flaps 0-1;thrust 0-100;on ground 0/1
--
-- Install: copy this file into Saved Games\DCS\Scripts\ and add this line to
-- Scripts\Export.lua (kestrox-vantrell --setup-simulator dcs does both):
--   dofile(lfs.writedir() .. [[Scripts\KestroxExport.lua]])
--
-- Another host or port goes into Export.lua, before that line, so that this
-- file stays as shipped and updates replace it:
--   KestroxExportHost = "192.168.1.20"
--   KestroxExportPort = 29778

-- Where kestrox-vantrell listens, unless Export.lua said otherwise.
KestroxExportHost = KestroxExportHost or "127.0.0.1"
KestroxExportPort = KestroxExportPort or 29778

-- Export.lua may load us more than once; one set of hooks sends each frame once.
if KestroxExport then
    return
end
KestroxExport = {}

local minimumInterval = 0.010 -- seconds between two datagrams

-- DCS finds LuaSocket only with these paths (relative to its program folder);
-- elsewhere require finds it on its own.
local function appendPath(current, entry)
    if string.find(current, entry, 1, true) then
        return current
    end
    return current .. entry
end
package.path = appendPath(package.path, ";.\\LuaSocket\\?.lua")
package.cpath = appendPath(package.cpath, ";.\\LuaSocket\\?.dll")

local socketLoaded, socket = pcall(require, "socket")
if not socketLoaded then
    socket = nil
end

local udp = nil
local lastSent = nil

-- Calls an export function by name; missing, failing or nil gives nil.
-- Looked up on every call: modules and servers differ in what they offer.
local function export(name)
    local f = _G[name]
    if type(f) ~= "function" then
        return nil
    end
    local ok, value = pcall(f)
    if ok then
        return value
    end
    return nil
end

local function field(t, key)
    if type(t) == "table" then
        return t[key]
    end
    return nil
end

local function numberOrZero(v)
    if type(v) ~= "number" or v ~= v or v == math.huge or v == -math.huge then
        return 0
    end
    return v
end

-- Writes a number with "." and up to three decimals. string.format("%f") and
-- tostring follow the C locale, which may use ",", so the fraction is built
-- from integers; "%.0f" carries no decimal point in any locale.
local function formatNumber(v)
    v = numberOrZero(v)
    local scaled = math.floor(math.abs(v) * 1000 + 0.5)
    if scaled == 0 then
        return "0"
    end
    local whole = math.floor(scaled / 1000)
    local fraction = scaled - whole * 1000
    local text = string.format("%.0f", whole)
    if fraction > 0 then
        text = text .. string.gsub(string.format(".%03d", fraction), "0+$", "")
    end
    if v < 0 then
        text = "-" .. text
    end
    return text
end

local function aircraftName()
    local name = field(export("LoGetSelfData"), "Name")
    if type(name) ~= "string" then
        return ""
    end
    return (string.gsub(name, "[;\r\n]", "_"))
end

-- Engine RPM in percent; twins report both sides, single-engine types leave
-- the right one at 0.
local function thrust()
    local rpm = field(export("LoGetEngineInfo"), "RPM")
    local left = numberOrZero(field(rpm, "left"))
    local right = numberOrZero(field(rpm, "right"))
    if right > 0 then
        return (left + right) / 2
    end
    return left
end

local function onGround(mech, gear)
    local wow = field(field(mech, "gear"), "WOW")
    if wow == nil then
        wow = field(mech, "WOW")
    end
    if type(wow) == "boolean" then
        return wow
    end
    if type(wow) == "number" then
        return wow ~= 0
    end
    local agl = export("LoGetAltitudeAboveGroundLevel")
    return type(agl) == "number" and agl < 1 and gear >= 0.99
end

local function frameLine()
    local mech = export("LoGetMechInfo")
    local gear = numberOrZero(field(field(mech, "gear"), "value"))
    local ground = onGround(mech, gear) and "1" or "0"
    return table.concat({
        aircraftName(),
        formatNumber(numberOrZero(export("LoGetIndicatedAirSpeed")) * 3.6),
        formatNumber(export("LoGetVerticalVelocity")),
        formatNumber(numberOrZero(export("LoGetAngleOfAttack")) * 180 / math.pi),
        formatNumber(field(export("LoGetAccelerationUnits"), "y")),
        formatNumber(gear),
        formatNumber(field(field(mech, "speedbrakes"), "value")),
        formatNumber(field(field(mech, "flaps"), "value")),
        formatNumber(thrust()),
        ground,
    }, ";")
end

local function open()
    if udp or not socket then
        return
    end
    udp = socket.udp()
    if udp then
        udp:settimeout(0)
    end
end

local function close()
    if udp then
        udp:close()
        udp = nil
    end
    lastSent = nil
end

local function sendFrame()
    if not socket then
        return
    end
    local now = socket.gettime()
    if lastSent and now - lastSent < minimumInterval then
        return
    end
    open()
    if udp then
        udp:sendto(frameLine(), KestroxExportHost, KestroxExportPort)
        lastSent = now
    end
end

-- Hooks defined by tools loaded before us keep running, each in pcall, so one
-- tool's error stops neither the other nor us.
local previous = {
    start = LuaExportStart,
    before = LuaExportBeforeNextFrame,
    after = LuaExportAfterNextFrame,
    stop = LuaExportStop,
    activity = LuaExportActivityNextEvent,
}

local function callPrevious(f, ...)
    if type(f) == "function" then
        return pcall(f, ...)
    end
    return false
end

function LuaExportStart(...)
    callPrevious(previous.start, ...)
    pcall(open)
end

if type(previous.before) == "function" then
    function LuaExportBeforeNextFrame(...)
        callPrevious(previous.before, ...)
    end
end

function LuaExportAfterNextFrame(...)
    callPrevious(previous.after, ...)
    pcall(sendFrame)
end

function LuaExportStop(...)
    callPrevious(previous.stop, ...)
    pcall(close)
end

-- Only the other tool asks for activity events; its schedule is kept.
if type(previous.activity) == "function" then
    function LuaExportActivityNextEvent(t, ...)
        local ok, nextTime = callPrevious(previous.activity, t, ...)
        if ok then
            return nextTime
        end
        return t + 1
    end
end
