/* medley phone: a simulated phone in infrared range that stores the files pushed to it. */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "medley.h"
#include "phone_sim.h"

namespace {

std::atomic<bool> g_interrupted(false);

void on_signal(int) { g_interrupted = true; }

void Setup(CLI::App &app)
{
    auto *cmd = app.add_subcommand("phone", "Play a phone in infrared range that receives files (IrCOMM)");
    auto opt = std::make_shared<phone::Options>();
    auto params = std::make_shared<std::string>("00 01 06");
    auto deviceId = std::make_shared<std::string>();
    auto count = std::make_shared<int>(0);
    auto seconds = std::make_shared<int>(0);
    auto threeWire = std::make_shared<bool>(false);
    opt->inbox = ".";
    cmd->add_option("--inbox", opt->inbox, "Folder where received files are stored")->check(CLI::ExistingDirectory);
    cmd->add_option("--name", opt->name, "Device name announced in discovery (21 characters)");
    cmd->add_option("--id", *deviceId, "Device id, 8 hex digits (default: from the process id)");
    cmd->add_option("--params", *params, "IAS IrDA:IrCOMM \"Parameters\" octets, hex (default \"00 01 06\")");
    cmd->add_option("--link-dir", opt->linkFolder, "Local link folder (default $MEDLEY_IRDA_DIR or the runtime folder)");
    cmd->add_flag("--hidden", opt->hidden, "Fault: answer no discovery (no device in range)");
    cmd->add_flag("--three-wire", *threeWire, "Fault: offer IrCOMM 3-wire only (Parameters 00 01 02)");
    cmd->add_option("--refuse", opt->refuseConnects, "Fault: refuse the first N connects")->check(CLI::NonNegativeNumber);
    cmd->add_option("--short-at", opt->shortAtSend, "Fault: the Nth send of a connection takes half the octets offered")
        ->check(CLI::NonNegativeNumber);
    cmd->add_option("--drop-after", opt->dropAfter, "Fault: drop the link after N octets of a connection");
    cmd->add_option("--stall-after", opt->stallAfter, "Fault: stop answering after N octets of a connection");
    cmd->add_option("--count", *count, "Exit after N transfers (complete or not)")->check(CLI::NonNegativeNumber);
    cmd->add_option("--seconds", *seconds, "Exit after this many seconds")->check(CLI::NonNegativeNumber);
    cmd->callback([=] {
        phone::Options o = *opt;
        if (*threeWire)
            o.params = {0x00, 0x01, 0x02};
        else if (!phone::ParseOctets(*params, &o.params)) {
            medley::Fail("--params: give 1 to 1024 hex octets, e.g. \"00 01 06\"");
            return;
        }
        if (!deviceId->empty()) {
            char *end = nullptr;
            unsigned long v = strtoul(deviceId->c_str(), &end, 16);
            if (*end || deviceId->size() > 8) {
                medley::Fail("--id: give up to 8 hex digits");
                return;
            }
            o.deviceId = (uint32_t)v;
        } else {
            o.deviceId = 0x4D500000u | ((uint32_t)getpid() & 0xFFFFu);
        }
        phone::PhoneSim sim(o);
        std::string why;
        if (!sim.Start(&why)) {
            medley::Fail("phone: " + why);
            return;
        }
        signal(SIGINT, on_signal);
        signal(SIGTERM, on_signal);
        printf("phone \"%s\" (device %08x, parameters %s) in range; inbox %s\n", o.name.c_str(), o.deviceId,
               params->c_str(), o.inbox.c_str());
        fflush(stdout);
        auto start = std::chrono::steady_clock::now();
        int seen = 0;
        while (!g_interrupted && (*count == 0 || seen < *count)) {
            if (*seconds > 0 && std::chrono::steady_clock::now() - start > std::chrono::seconds(*seconds))
                break;
            phone::Arrival a;
            if (!sim.WaitArrival(&a, 200))
                continue;
            seen++;
            if (a.complete)
                printf("received %s (%lld octets) -> %s\n", a.name.c_str(), (long long)a.received, a.path.c_str());
            else if (a.announced >= 0)
                printf("incomplete %s: %lld of %lld octets -> %s\n", a.name.c_str(), (long long)a.received,
                       (long long)a.announced, a.path.c_str());
            else
                printf("link closed before a whole header (%zu octets)\n", a.header.size());
            fflush(stdout);
        }
        sim.Stop();
    });
}

}  // namespace

MEDLEY_VERBS("phone", Setup);
