#pragma once

#include <QLockFile>
#include <QObject>

#include <memory>

class QLocalServer;

// One program per user session drives the real devices: the first instance
// holds a lock in the runtime folder and listens for "show" requests; a
// later one asks it to come to the front and ends without touching a
// device or a simulator port.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The lock and the socket live in `folder` (the runtime folder).
    explicit SingleInstance(const QString &folder, QObject *parent = nullptr);
    ~SingleInstance() override;

    static QString defaultFolder();

    // Takes the lock (a stale one left by a crash is taken over) and starts
    // listening. False when another instance holds it.
    bool acquire();
    // Asks the running instance to show its window; false if it did not answer.
    bool requestShow(int timeoutMs = 1500) const;

signals:
    void showRequested();

private:
    void onNewConnection();

    QString m_folder;
    QLockFile m_lock;
    QLocalServer *m_server = nullptr;
};
