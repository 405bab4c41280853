// Win32 implementation of the file classes.
#include "framework/file.h"

#include <windows.h>

namespace
{
HANDLE AsHandle(intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}
} // namespace

bool CFile::Open(const char* fileName, unsigned flags, CFileException* error)
{
    Close();
    DWORD access = GENERIC_READ;
    if ((flags & 3) == modeWrite) access = GENERIC_WRITE;
    if ((flags & 3) == modeReadWrite) access = GENERIC_READ | GENERIC_WRITE;

    DWORD share = 0; // shareCompat and shareExclusive: no sharing
    switch (flags & 0x70) {
    case shareDenyWrite:
        share = FILE_SHARE_READ;
        break;
    case shareDenyRead:
        share = FILE_SHARE_WRITE;
        break;
    case shareDenyNone:
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    default:
        break;
    }

    DWORD disposition = OPEN_EXISTING;
    if (flags & modeCreate) disposition = (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    HANDLE h =
        CreateFileA(fileName, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) *error = CFileException(static_cast<long>(GetLastError()), fileName);
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(h);
    m_name = fileName;
    return true;
}

void CFile::Close()
{
    if (m_handle != kInvalid) CloseHandle(AsHandle(m_handle));
    m_handle = kInvalid;
}

void CFile::ThrowLastError() const
{
    throw CFileException(static_cast<long>(GetLastError()), m_name);
}

unsigned CFile::Read(void* buffer, unsigned count)
{
    DWORD got = 0;
    if (!ReadFile(AsHandle(m_handle), buffer, count, &got, nullptr)) ThrowLastError();
    return got;
}

void CFile::Write(const void* buffer, unsigned count)
{
    DWORD put = 0;
    if (!WriteFile(AsHandle(m_handle), buffer, count, &put, nullptr) || put != count)
        ThrowLastError();
}

uint64_t CFile::GetLength() const
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(AsHandle(m_handle), &size)) ThrowLastError();
    return static_cast<uint64_t>(size.QuadPart);
}

void CFile::SetLength(uint64_t length)
{
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFilePointerEx(AsHandle(m_handle), pos, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(AsHandle(m_handle)))
        ThrowLastError();
}

uint64_t CFile::SeekToEnd()
{
    LARGE_INTEGER zero, pos;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(AsHandle(m_handle), zero, &pos, FILE_END)) ThrowLastError();
    return static_cast<uint64_t>(pos.QuadPart);
}

void CFile::Flush()
{
    if (!FlushFileBuffers(AsHandle(m_handle))) ThrowLastError();
}

bool SetCurrentDir(const char* path)
{
    return SetCurrentDirectoryA(path) != FALSE;
}

CString GetCurrentDir()
{
    char buf[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(MAX_PATH, buf);
    return (n > 0 && n < MAX_PATH) ? CString(buf, static_cast<int>(n)) : CString();
}

bool DeleteFileNamed(const char* path)
{
    return DeleteFileA(path) != FALSE;
}

bool ReplaceFileWith(const char* from, const char* to)
{
    // A file the user made read-only keeps its content, whatever the file
    // system would allow a rename to do.
    const DWORD attributes = GetFileAttributesA(to);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}
