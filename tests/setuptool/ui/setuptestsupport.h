#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <initializer_list>
#include <memory>

// An element's object name, as a literal or a string.
struct ElementName
{
    ElementName(const char *name) : name(QString::fromLatin1(name)) {}
    ElementName(const QString &name) : name(name) {}
    QString name;
};

// The named child of `root`. A missing one is a wrong name in the test, not a
// fault of the page, so the test stops at once.
template<typename T = QWidget>
T *findElement(const QObject *root, const ElementName &name)
{
    auto *found = root->findChild<T *>(name.name);
    if (!found)
        qFatal("no element %s", qPrintable(name.name));
    return found;
}

// What a page test works on: the page, its elements by name, and the record
// the page would send now.
template<typename Page, typename Record>
struct PageUnderTest
{
    template<typename T = QWidget>
    T *element(const ElementName &name) const
    {
        return findElement<T>(m_page.get(), name);
    }
    Record shown() const
    {
        Record record;
        m_page->getSettings(record);
        return record;
    }

    std::unique_ptr<Page> m_page;
};

// A fresh, empty working directory for as long as the object lives: the
// pages keep profiles and read config.ini there.
class TemporaryWorkingDirectory
{
public:
    TemporaryWorkingDirectory() : m_previous(QDir::currentPath())
    {
        if (!m_dir.isValid() || !QDir::setCurrent(m_dir.path()))
            qFatal("no temporary working directory");
    }
    ~TemporaryWorkingDirectory() { QDir::setCurrent(m_previous); }
    TemporaryWorkingDirectory(const TemporaryWorkingDirectory &) = delete;
    TemporaryWorkingDirectory &operator=(const TemporaryWorkingDirectory &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QString m_previous;
    QTemporaryDir m_dir;
};

// Rows for a check box the device keeps as a signed byte: stored bytes 0, 1,
// 2 and 0xFF, and whether the page shows each checked (`checkedBytes`; the
// rule differs per field). Every page sends 1 for checked and 0xFF (-1) for
// unchecked, see signByteSent().
inline void signByteData(std::initializer_list<int> checkedBytes)
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("checked");
    for (const int stored : {0x00, 0x01, 0x02, 0xFF})
        QTest::addRow("0x%02X", stored)
            << stored << (std::find(checkedBytes.begin(), checkedBytes.end(), stored) != checkedBytes.end());
}

inline quint8 signByteSent(bool checked)
{
    return checked ? 0x01 : 0xFF;
}
