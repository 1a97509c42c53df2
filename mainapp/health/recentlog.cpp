#include "recentlog.h"

#include "healthenvironment.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace {

std::atomic<RecentLog *> installedLog{nullptr};
std::atomic<QtMessageHandler> previousHandler{nullptr};
// Handler calls that may still hold the log: its destructor waits for them.
std::atomic<int> callsInFlight{0};

const char *typeName(QtMsgType type)
{
    switch (type) {
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    case QtDebugMsg:
        break;
    }
    return "debug";
}

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    callsInFlight.fetch_add(1);
    if (RecentLog *log = installedLog.load()) {
        log->append(type, context.category, message);
        // The process ends after a fatal message: its line is written first.
        if (type == QtFatalMsg)
            log->flush();
    }
    callsInFlight.fetch_sub(1);
    if (const QtMessageHandler previous = previousHandler.load())
        previous(type, context, message);
}

} // namespace

struct RecentLog::Writer
{
    explicit Writer(const QString &path) : path(path), thread([this] { run(); }) {}
    ~Writer()
    {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        thread.join();
    }

    struct Line
    {
        qint64 msecsSinceEpoch;
        QByteArray text; // after the stamp
    };

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || !queue.empty(); });
            if (queue.empty() && stopping)
                return;
            std::deque<Line> lines;
            lines.swap(queue);
            queuedBytes = 0;
            // The file is written unlocked: a message logged meanwhile, even
            // by the file's own code, only queues. The stamp is formatted
            // here, off the thread that logged.
            lock.unlock();
            for (const Line &line : lines)
                writeLine(QDateTime::fromMSecsSinceEpoch(line.msecsSinceEpoch)
                              .toString(Qt::ISODateWithMs)
                              .toUtf8() +
                          ' ' + line.text);
            if (file.isOpen())
                file.flush();
            lock.lock();
            written += lines.size();
            done.notify_all();
        }
    }

    void writeLine(const QByteArray &line)
    {
        if (!file.isOpen()) {
            QDir().mkpath(QFileInfo(path).path());
            file.setFileName(path);
            if (!file.open(QIODevice::Append))
                return;
        }
        if (file.size() > 0 && file.size() + line.size() > RecentLog::MaxBytes) {
            file.close();
            const QString previous = path + QStringLiteral(".1");
            QFile::remove(previous);
            QFile::rename(path, previous);
            file.setFileName(path);
            if (!file.open(QIODevice::Append))
                return;
        }
        file.write(line.left(RecentLog::MaxBytes));
    }

    const QString path;
    QFile file;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    std::deque<Line> queue;
    qint64 queuedBytes = 0;
    quint64 queued = 0;
    quint64 written = 0;
    bool stopping = false;
    std::thread thread; // last: starts once the rest is built
};

RecentLog::RecentLog(const QString &file) : m_writer(std::make_unique<Writer>(file))
{}

RecentLog::~RecentLog()
{
    if (m_installed) {
        installedLog.store(nullptr);
        qInstallMessageHandler(previousHandler.load());
        // A message logged on another thread just before may still be queuing.
        while (callsInFlight.load() != 0)
            std::this_thread::yield();
    }
    m_writer.reset();
}

void RecentLog::append(QtMsgType type, const char *category, const QString &message)
{
    if (type == QtDebugMsg || !category || std::strncmp(category, "kestrox.", 8) != 0)
        return;
    Writer::Line line{QDateTime::currentMSecsSinceEpoch(),
                      QByteArray(typeName(type)) + ' ' + category + ": " + message.toUtf8() + '\n'};
    {
        std::lock_guard lock(m_writer->mutex);
        // A stalled disk must not grow the queue without end: past what the
        // two files hold, the oldest lines would be rotated away anyway.
        m_writer->queuedBytes += line.text.size();
        while (m_writer->queuedBytes > 2 * MaxBytes && !m_writer->queue.empty()) {
            m_writer->queuedBytes -= m_writer->queue.front().text.size();
            m_writer->queue.pop_front();
            ++m_writer->written;
        }
        m_writer->queue.push_back(std::move(line));
        ++m_writer->queued;
    }
    m_writer->wake.notify_one();
}

void RecentLog::flush()
{
    std::unique_lock lock(m_writer->mutex);
    const quint64 target = m_writer->queued;
    m_writer->done.wait(lock, [this, target] { return m_writer->written >= target; });
}

void RecentLog::install()
{
    // The previous handler is known before any message can come here.
    previousHandler.store(qInstallMessageHandler(nullptr));
    installedLog.store(this);
    qInstallMessageHandler(handleMessage);
    m_installed = true;
}

QString RecentLog::defaultFile()
{
    return HealthEnvironment::defaultStateFolder() + QStringLiteral("/kestrox-vantrell.log");
}
