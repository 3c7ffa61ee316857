#include "link/transport/GpibLibrary.h"

#include <QFile>

#include <cstring>
#include <dlfcn.h>

namespace {

constexpr int StatusError = 0x8000;
constexpr int Timeout3s = 12;   // the library's code for a 3 s I/O time-out
constexpr int ReadChunk = 4096;
constexpr int MaxAnswer = 65536;

const char *errorName(int iberr)
{
    static const char *const names[] = {
        "system error", "not controller-in-charge", "no listener on the bus",
        "addressing error", "invalid argument", "not system controller",
        "I/O aborted (time-out)", "board not present", "DMA error", "",
        "operation in progress", "capability not present", "file system error", "",
        "bus error", "serial poll status byte lost", "SRQ stuck on", "", "", "",
        "table problem"};
    if (iberr >= 0 && iberr < int(std::size(names)) && names[iberr][0])
        return names[iberr];
    return "unknown error";
}

template <typename T> bool resolve(void *handle, const char *name, T *fn)
{
    *fn = reinterpret_cast<T>(dlsym(handle, name));
    return *fn != nullptr;
}

} // namespace

std::shared_ptr<GpibLibrary> GpibLibrary::load(const QString &name, QString *error)
{
    void *handle = dlopen(QFile::encodeName(name).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        *error = QStringLiteral("GPIB library %1 not found (%2)")
                     .arg(name, QString::fromLocal8Bit(dlerror()));
        return nullptr;
    }
    std::shared_ptr<GpibLibrary> lib(new GpibLibrary);
    lib->m_handle = handle;
    const bool complete = resolve(handle, "ibdev", &lib->m_ibdev)
                          && resolve(handle, "ibwrt", &lib->m_ibwrt)
                          && resolve(handle, "ibrd", &lib->m_ibrd)
                          && resolve(handle, "ibonl", &lib->m_ibonl)
                          && resolve(handle, "ibclr", &lib->m_ibclr);
    if (!complete) {
        *error = QStringLiteral("GPIB library %1 lacks the entry points needed").arg(name);
        return nullptr;
    }
    resolve(handle, "ThreadIbsta", &lib->m_threadIbsta);
    resolve(handle, "ThreadIberr", &lib->m_threadIberr);
    resolve(handle, "ThreadIbcntl", &lib->m_threadIbcntl);
    lib->m_iberr = static_cast<int *>(dlsym(handle, "iberr"));
    lib->m_ibcntl = static_cast<long *>(dlsym(handle, "ibcntl"));
    return lib;
}

GpibLibrary::~GpibLibrary()
{
    if (m_handle)
        dlclose(m_handle);
}

int GpibLibrary::openDevice(int board, int pad)
{
    m_lastStatus = 0;
    const int ud = m_ibdev(board, pad, 0, Timeout3s, 1, 0);
    if (ud < 0)
        m_lastStatus = StatusError;
    return ud;
}

void GpibLibrary::closeDevice(int ud)
{
    if (ud >= 0)
        m_ibonl(ud, 0);
}

bool GpibLibrary::write(int ud, const QByteArray &data)
{
    m_lastStatus = m_ibwrt(ud, data.constData(), long(data.size()));
    return !(m_lastStatus & StatusError);
}

bool GpibLibrary::read(int ud, QByteArray *data)
{
    // One message, possibly longer than a chunk: read on while the device has not ended it.
    constexpr int StatusEnd = 0x2000;
    data->clear();
    char buf[ReadChunk];
    do {
        std::memset(buf, 0, sizeof buf);
        m_lastStatus = m_ibrd(ud, buf, ReadChunk);
        if (m_lastStatus & StatusError)
            return false;
        long n = count();
        if (n < 0 || n > ReadChunk) {  // no count from the library: up to the first NUL
            const void *nul = std::memchr(buf, 0, sizeof buf);
            n = nul ? static_cast<const char *>(nul) - buf : ReadChunk;
        }
        data->append(buf, n);
    } while (!(m_lastStatus & StatusEnd) && data->size() < MaxAnswer && count() == ReadChunk);
    return true;
}

bool GpibLibrary::clear(int ud)
{
    m_lastStatus = m_ibclr(ud);
    return !(m_lastStatus & StatusError);
}

int GpibLibrary::status() const
{
    return m_threadIbsta ? m_threadIbsta() : m_lastStatus;
}

long GpibLibrary::count() const
{
    if (m_threadIbcntl)
        return m_threadIbcntl();
    return m_ibcntl ? *m_ibcntl : -1;
}

QString GpibLibrary::lastError() const
{
    if (!(status() & StatusError))
        return QString();
    const int err = m_threadIberr ? m_threadIberr() : (m_iberr ? *m_iberr : -1);
    return QString::fromLatin1(errorName(err));
}
