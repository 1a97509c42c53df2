#pragma once

#include <QLockFile>
#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>

class QLocalServer;

// One program per user session drives the real devices: the first instance
// holds a lock in the runtime folder and listens for requests there (show
// the window, start a recording or a replay, switch the forces); a later
// one hands its request over and ends without touching a device or a
// simulator port.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The lock and the socket live in `folder`, named after `name`.
    explicit SingleInstance(const QString &folder, const QString &name = QStringLiteral("kestrox-vantrell"),
                            QObject *parent = nullptr);
    ~SingleInstance() override;

    // This user's runtime folder: $XDG_RUNTIME_DIR, else a folder of this
    // user's own under the temporary folder (never one other users share);
    // empty when no such folder can be made.
    static QString defaultFolder();

    // Takes the lock (a stale one left by a crash is taken over) and starts
    // listening. False when another instance holds it.
    bool acquire();
    // Hands a request (its words) to the running instance and waits for its
    // answer: true when it took the request, false when none answered.
    bool send(const QStringList &request, int timeoutMs = 1500) const;

signals:
    // A request of another start, word by word: "show" [activation token],
    // "record" FILE, "replay" FILE SPEED LOOP, "forces" on|off|toggle.
    void requestReceived(QStringList request);

private:
    void onNewConnection();

    QString m_folder;
    QString m_name;
    QLockFile m_lock;
    QLocalServer *m_server = nullptr;
};
