#pragma once
// Helpers shared by the communication library tests: temporary folders, environment
// settings, port records and a recorder for status procedure calls.

#include "text.h"

#include <qpu/comm_lib.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qpcomm_test {

class TempDir
{
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qpcomm-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string sub(const std::string& name) const
    {
        const std::string p = m_path + "/" + name;
        std::filesystem::create_directories(p);
        return p;
    }

private:
    std::string m_path;
};

// Sets an environment variable for the lifetime of the object.
class EnvSetting
{
public:
    EnvSetting(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
            m_had = true;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvSetting()
    {
        if (m_had) {
            ::setenv(m_name.c_str(), m_old.c_str(), 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }
    EnvSetting(const EnvSetting&) = delete;
    EnvSetting& operator=(const EnvSetting&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_had = false;
};

inline PortInfo makePort(const std::string& keyword, const std::string& name)
{
    PortInfo port{};
    qpcomm::copyToField(keyword, port.interfaceKeyword);
    qpcomm::copyToField(name, port.portName);
    port.reserved1 = -1;
    port.reserved2 = -1;
    return port;
}

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Collects the codes passed to a status procedure.
class StatusRecorder
{
public:
    static int32_t proc(int32_t status, void* context)
    {
        auto* self = static_cast<StatusRecorder*>(context);
        {
            std::lock_guard lock(self->m_mutex);
            self->m_codes.push_back(status);
        }
        self->m_cv.notify_all();
        return 1;
    }

    // Waits until `code` arrives after index `from` of the codes; true when it did.
    bool waitFor(int32_t code, int timeoutMs, std::size_t from = 0)
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (std::size_t i = from; i < m_codes.size(); ++i) {
                if (m_codes[i] == code) {
                    return true;
                }
            }
            return false;
        });
    }
    std::vector<int32_t> codes() const
    {
        std::lock_guard lock(m_mutex);
        return m_codes;
    }
    std::size_t size() const
    {
        std::lock_guard lock(m_mutex);
        return m_codes.size();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<int32_t> m_codes;
};

} // namespace qpcomm_test
