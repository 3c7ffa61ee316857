#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

// The linux-gpib entry points the program uses, resolved with dlopen/dlsym at run time.
class GpibLibrary
{
public:
    // Loads `name`; nullptr with `error` set when the library or a needed entry is missing.
    static std::shared_ptr<GpibLibrary> load(const QString &name, QString *error);
    ~GpibLibrary();

    // A device descriptor for board `board`, primary address `pad`, or -1 (see lastError()).
    int openDevice(int board, int pad);
    void closeDevice(int ud);
    // False on failure, with lastError() describing it.
    bool write(int ud, const QByteArray &data);
    bool read(int ud, QByteArray *data);
    bool clear(int ud);

    QString lastError() const;

private:
    GpibLibrary() = default;
    int status() const;
    long count() const;

    void *m_handle = nullptr;
    int (*m_ibdev)(int, int, int, int, int, int) = nullptr;
    int (*m_ibwrt)(int, const void *, long) = nullptr;
    int (*m_ibrd)(int, void *, long) = nullptr;
    int (*m_ibonl)(int, int) = nullptr;
    int (*m_ibclr)(int) = nullptr;
    int (*m_threadIbsta)() = nullptr;
    int (*m_threadIberr)() = nullptr;
    long (*m_threadIbcntl)() = nullptr;
    int *m_iberr = nullptr;     // the library's globals, when the thread functions are absent
    long *m_ibcntl = nullptr;
    int m_lastStatus = 0;
};
