// A scratch directory for one test, removed with everything in it.
#pragma once

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "read_file.h"

class TempDir
{
  public:
    TempDir()
    {
        char pattern[] = "/tmp/tansy-test-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempDir()
    {
        if (chdir("/") != 0) return;
        const std::string command = "rm -rf '" + m_path + "'";
        if (std::system(command.c_str()) != 0) return;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory with a trailing separator, as the program keeps it.
    std::string dir() const { return m_path + "/"; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(file(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const
    {
        std::string bytes;
        testfiles::ReadFile(file(name), bytes);
        return bytes;
    }
    bool exists(const std::string& name) const { return access(file(name).c_str(), F_OK) == 0; }

  private:
    std::string m_path;
};
