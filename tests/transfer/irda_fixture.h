/* A simulated phone in range for the IrDA tests. */
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "irda.h"
#include "phone_sim.h"
#include "testkit.h"

namespace irdatest {

/* Natively the link goes end to end through the platform table (compat/) and the local link to
 * the phone's listening socket.  Wine refuses the IrDA address family (WSAEAFNOSUPPORT), so
 * there the phone is installed in process as the link's socket table: a known divergence. */
class PhoneInRange {
public:
    explicit PhoneInRange(phone::Options o = phone::Options())
    {
        SetEnvironmentVariableA("MEDLEY_IRDA_DIR", m_link.path().c_str());
        SetEnvironmentVariableA("MEDLEY_IRDA_TIMEOUT_MS", "400");
        o.inbox = m_inbox.path();
        o.linkFolder = m_link.path();
        o.stallMs = 50;
        m_sim.reset(new phone::PhoneSim(o));
        if (testkit::kRealWin32) {
            m_previous = IrdaSetSocketApi(m_sim->InProcessApi());
        } else {
            std::string why;
            EXPECT_TRUE(m_sim->Start(&why)) << why;
        }
    }
    ~PhoneInRange()
    {
        m_sim->Stop();
        IrdaSetSocketApi(m_previous);
        SetEnvironmentVariableA("MEDLEY_IRDA_TIMEOUT_MS", NULL);
    }
    phone::PhoneSim &sim() { return *m_sim; }
    const std::string &inbox() const { return m_inbox.path(); }
    testkit::TempDir &files() { return m_files; }

private:
    testkit::TempDir m_link, m_inbox, m_files;
    std::unique_ptr<phone::PhoneSim> m_sim;
    const IRDA_SOCKET_API *m_previous = nullptr;
};

/* File contents that differ from octet to octet and from seed to seed. */
inline std::vector<unsigned char> Pattern(size_t n, unsigned seed)
{
    std::vector<unsigned char> v(n);
    for (size_t i = 0; i < n; i++)
        v[i] = (unsigned char)((i * 131 + seed * 7 + (i >> 8)) & 0xFF);
    return v;
}

/* The header the link sends before a file's octets. */
inline std::string Header(const std::string &name, size_t size)
{
    return "Content_name:" + name + "\r\nContent_length:" + std::to_string(size) + "\r\n\r\n";
}

}  // namespace irdatest
