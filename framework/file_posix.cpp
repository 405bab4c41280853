// POSIX implementation of the file classes, for the native unit tests.
#include "framework/file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool CFile::Open(const char* fileName, unsigned flags, CFileException* error)
{
    Close();
    int mode = O_RDONLY;
    if ((flags & 3) == modeWrite) mode = O_WRONLY;
    if ((flags & 3) == modeReadWrite) mode = O_RDWR;
    if (flags & modeCreate) {
        mode |= O_CREAT;
        if (!(flags & modeNoTruncate)) mode |= O_TRUNC;
    }
    const int fd = ::open(fileName, mode | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = CFileException(errno, fileName);
        return false;
    }
    m_handle = fd;
    m_name = fileName;
    return true;
}

void CFile::Close()
{
    if (m_handle != kInvalid) ::close(static_cast<int>(m_handle));
    m_handle = kInvalid;
}

void CFile::ThrowLastError() const
{
    throw CFileException(errno, m_name);
}

unsigned CFile::Read(void* buffer, unsigned count)
{
    ssize_t n;
    do {
        n = ::read(static_cast<int>(m_handle), buffer, count);
    } while (n < 0 && errno == EINTR);
    if (n < 0) ThrowLastError();
    return static_cast<unsigned>(n);
}

void CFile::Write(const void* buffer, unsigned count)
{
    const char* p = static_cast<const char*>(buffer);
    while (count > 0) {
        const ssize_t n = ::write(static_cast<int>(m_handle), p, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ThrowLastError();
        p += n;
        count -= static_cast<unsigned>(n);
    }
}

uint64_t CFile::GetLength() const
{
    struct stat st;
    if (::fstat(static_cast<int>(m_handle), &st) != 0) ThrowLastError();
    return static_cast<uint64_t>(st.st_size);
}

void CFile::SetLength(uint64_t length)
{
    if (::ftruncate(static_cast<int>(m_handle), static_cast<off_t>(length)) != 0) ThrowLastError();
}

uint64_t CFile::SeekToEnd()
{
    const off_t pos = ::lseek(static_cast<int>(m_handle), 0, SEEK_END);
    if (pos < 0) ThrowLastError();
    return static_cast<uint64_t>(pos);
}

void CFile::Flush()
{
    if (::fsync(static_cast<int>(m_handle)) != 0) ThrowLastError();
}

bool SetCurrentDir(const char* path)
{
    return ::chdir(path) == 0;
}

CString GetCurrentDir()
{
    char buf[PATH_MAX];
    return ::getcwd(buf, sizeof buf) ? CString(buf) : CString();
}

bool DeleteFileNamed(const char* path)
{
    return ::unlink(path) == 0;
}

bool ReplaceFileWith(const char* from, const char* to)
{
    // Refuse to replace a file made read-only, as Windows does.
    struct stat st;
    if (::stat(to, &st) == 0 && (st.st_mode & 0222) == 0) return false;
    return ::rename(from, to) == 0;
}
