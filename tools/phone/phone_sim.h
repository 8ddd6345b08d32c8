/*
 * A phone that takes files over IrCOMM, for tests, demos and `medley phone`.
 *
 * It announces one device (name, device id, IAS "Parameters" octets), accepts connections to
 * "IrDA:IrCOMM", reads "Content_name:<name>\r\nContent_length:<n>\r\n\r\n" and n octets, and
 * stores them as <inbox>/<name> (a transfer that ends early is left as <name>.part).  It can
 * play the faults of a real link.  Two ways in:
 *  - Start(): listen on the local link of this host (non-Windows hosts only), reached by the
 *    platform's Windows Sockets layer of compat/;
 *  - InProcessApi(): a Windows Sockets table for IrdaSetSocketApi that talks to this phone
 *    directly, on every platform.
 * Every wait is bounded.
 */
#pragma once
#include <stdint.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct IRDA_SOCKET_API;

namespace phone {

struct Options {
    std::string name = "Medley Phone";
    uint32_t deviceId = 0x4D504831;
    std::vector<uint8_t> params = {0x00, 0x01, 0x06};  // Service Type: 3-wire and 9-wire
    std::string inbox;            // folder for received files (must exist)
    std::string linkFolder;       // local link folder; empty: the platform default
    bool hidden = false;          // answers no discovery (out of range)
    int refuseConnects = 0;       // refuse this many connects first
    int shortAtSend = 0;          // the Nth send of a connection takes only half the octets
    int64_t dropAfter = -1;       // reset the link once a connection has taken this many octets
    int64_t stallAfter = -1;      // stop answering once a connection has taken this many octets
    int stallMs = 200;            // in-process only: how long a stalled send blocks
};

/* One transfer as the phone saw it, reported when it completes or its connection ends. */
struct Arrival {
    std::string name;       // content name as sent
    std::string path;       // where it was stored ("" when no header arrived)
    std::string header;     // the header text as received
    int64_t announced = -1; // Content_length
    int64_t received = 0;   // body octets stored
    bool complete = false;
};

class Session;

class PhoneSim {
public:
    explicit PhoneSim(Options options);
    ~PhoneSim();
    PhoneSim(const PhoneSim &) = delete;
    PhoneSim &operator=(const PhoneSim &) = delete;

    /* Listens on the local link.  false with *error set when it cannot (or on Windows). */
    bool Start(std::string *error);
    /* Stops listening and ends open connections; also done by the destructor. */
    void Stop();

    /* The in-process Windows Sockets table bound to this phone (one in-process phone at a time:
     * the most recent caller). */
    const IRDA_SOCKET_API *InProcessApi();

    /* Waits up to timeoutMs for the next arrival.  false when none came. */
    bool WaitArrival(Arrival *out, int timeoutMs);
    /* Waits up to timeoutMs until no connection is open, then hands over all arrivals. */
    std::vector<Arrival> Drain(int timeoutMs);

    const Options &options() const { return m_opt; }
    /* What the phone sends back on a receive after a complete file ("" = nothing). */
    void SetReply(const std::string &reply);

    /* Internal, for the transports. */
    bool AcceptConnect(bool nineWire, const std::string &service);
    std::unique_ptr<Session> OpenSession();
    void SessionEnded();
    void Record(const Arrival &a);
    std::string Reply();

private:
    Options m_opt;
    std::mutex m_lock;
    std::condition_variable m_cond;
    std::deque<Arrival> m_arrivals;
    int m_refusalsLeft;
    int m_open = 0;
    std::string m_reply;
    // local link
    int m_listen = -1;
    bool m_stop = false;
    std::string m_socketPath;
    std::thread m_acceptThread;
    int m_threads = 0;  // connection threads still running
    friend void RunServer(PhoneSim *sim);
    friend void ServeConnection(PhoneSim *sim, int fd);
public:
    bool stopping();
    int listenFd() const { return m_listen; }
};

/* The receiving side of one connection. */
class Session {
public:
    enum { kReset = -1, kStall = -2 };
    explicit Session(PhoneSim *sim);
    ~Session();  // reports an unfinished transfer
    /* Takes one send of n octets; returns the octets accepted, kReset or kStall. */
    int64_t OnData(const uint8_t *data, uint32_t n);
    bool stalled() const { return m_stalled; }
    bool hasReply() const { return !m_reply.empty(); }
    std::string TakeReply();

private:
    void Consume(const uint8_t *data, uint32_t n);
    bool ParseHeader();
    void Finish(bool complete);

    PhoneSim *m_sim;
    int m_sends = 0;
    int64_t m_taken = 0;
    bool m_stalled = false;
    bool m_broken = false;
    std::string m_head;
    bool m_inBody = false;
    Arrival m_cur;
    FILE *m_file = nullptr;
    std::string m_partPath;
    std::string m_reply;
};

/* Unbinds the in-process table from sim (its open connections end). */
void DetachInProcess(PhoneSim *sim);

/* Parses "00 01 06", "000106" or "0x00,0x01,0x06" into octets; false on bad text. */
bool ParseOctets(const std::string &text, std::vector<uint8_t> *out);

/* The platform's local link folder (non-Windows hosts); "" on Windows. */
std::string DefaultLinkFolder();

}  // namespace phone
