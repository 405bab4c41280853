// CFile and CStdioFile: files opened, used and closed within one call.
//
// The open flags are the framework's usual bit values (modeWrite alone = 1,
// an existing file opened for writing; modeCreate | modeWrite | typeBinary =
// 0x9001, a new or truncated file).
// Failures of an opening constructor, of Read and of Write throw
// CFileException carrying the operating system's error number and the name.
//
// The header is platform-free; file_win.cpp implements it over the Win32 file
// API and file_posix.cpp over POSIX for the native unit tests.
#pragma once

#include <cstdint>

#include "framework/cstring.h"

class CFileException
{
  public:
    CFileException(long osError, const CString& fileName)
        : m_lOsError(osError), m_strFileName(fileName)
    {
    }
    long m_lOsError;
    CString m_strFileName;
};

class CFile
{
  public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };

    CFile() = default;
    // Opens or throws CFileException.
    CFile(const char* fileName, unsigned flags);
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens; on failure returns false and fills *error when given.
    bool Open(const char* fileName, unsigned flags, CFileException* error = nullptr);
    void Close();

    unsigned Read(void* buffer, unsigned count);
    void Write(const void* buffer, unsigned count);
    uint64_t GetLength() const;
    void SetLength(uint64_t length);
    uint64_t SeekToEnd();
    void Flush();

  protected:
    static constexpr intptr_t kInvalid = -1;
    [[noreturn]] void ThrowLastError() const;
    intptr_t m_handle = kInvalid; // HANDLE on Windows, descriptor elsewhere
    CString m_name;
};

// A file read line by line. Lines end in LF; a CR right before the LF is
// dropped, a CR anywhere else is kept.
class CStdioFile : public CFile
{
  public:
    using CFile::CFile;
    // Reads the next line into `line` (emptied first). Returns false at the
    // end of the file, leaving `line` empty. A last line without a line end
    // is returned whole.
    bool ReadString(CString& line);

  private:
    bool Fill();
    char m_buf[4096];
    unsigned m_pos = 0;
    unsigned m_len = 0;
};

// Small file-system helpers the program needs beside the file classes.
bool SetCurrentDir(const char* path);
CString GetCurrentDir();
bool DeleteFileNamed(const char* path);
// Puts `from` in the place of `to` in one step, replacing an existing `to`.
// When this fails, `to` is unchanged.
bool ReplaceFileWith(const char* from, const char* to);
