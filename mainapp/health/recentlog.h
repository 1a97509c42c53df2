#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

// The recent log: the info, warning and critical messages of the "kestrox.*"
// logging categories also go to a file in the state folder, beside the
// default output. A thread of its own writes the file, so that a message
// costs the thread that logs it only a queued line; at most MaxBytes per
// file, the previous file kept as <file>.1.
class RecentLog
{
public:
    static constexpr qint64 MaxBytes = 1024 * 1024;

    // Writes to `file` (its folder is made when the first line comes).
    explicit RecentLog(const QString &file);
    // Writes what is queued, then stops the writer.
    ~RecentLog();
    RecentLog(const RecentLog &) = delete;
    RecentLog &operator=(const RecentLog &) = delete;

    // Queues a line as the message handler would; for any thread.
    void append(QtMsgType type, const char *category, const QString &message);
    // Returns once everything queued so far is in the file.
    void flush();

    // Makes this log the destination of the process's Qt message handler,
    // which keeps the previous handler's output; the destructor puts the
    // previous handler back.
    void install();

    // $XDG_STATE_HOME/kestrox/kestrox-vantrell.log
    static QString defaultFile();

private:
    struct Writer;
    std::unique_ptr<Writer> m_writer;
    bool m_installed = false;
};
