#include "framework/file.h"

#include <cstring>

bool CStdioFile::Fill()
{
    m_pos = 0;
    m_len = Read(m_buf, sizeof m_buf);
    return m_len > 0;
}

bool CStdioFile::ReadString(CString& line)
{
    line.Empty();
    bool any = false;
    for (;;) {
        if (m_pos == m_len && !Fill()) return any;
        any = true;
        const char* start = m_buf + m_pos;
        const void* lf = std::memchr(start, '\n', m_len - m_pos);
        if (!lf) {
            line.Append(start, static_cast<int>(m_len - m_pos));
            m_pos = m_len;
            continue;
        }
        const unsigned take = static_cast<unsigned>(static_cast<const char*>(lf) - start);
        line.Append(start, static_cast<int>(take));
        m_pos += take + 1;
        if (line.GetLength() > 0 && line.GetAt(line.GetLength() - 1) == '\r')
            line = line.Left(line.GetLength() - 1);
        return true;
    }
}

CFile::CFile(const char* fileName, unsigned flags)
{
    CFileException error(0, fileName);
    if (!Open(fileName, flags, &error)) throw error;
}

CFile::~CFile()
{
    Close();
}
