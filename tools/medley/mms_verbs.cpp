/* medley mms and medley export: a message file as the PDU a phone sends, and as an e-mail. */
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "medley.h"
#include "mime.h"
#include "mms.h"

namespace {

using medley::kSep;
using medley::SplitPath;

/* The library's reason, else the Windows code's; a reason ending in ":" is followed by the
 * Windows code's. */
void FailWith(const std::string &what, const std::string &why)
{
    if (why.empty())
        medley::FailWhy(what);
    else if (why.back() == ':')
        medley::FailWhy(what + ": " + why.substr(0, why.size() - 1));
    else
        medley::Fail(what + ": " + why);
}

struct Args {
    std::string in, out, subject, from;
    std::vector<std::string> to, cc;
    bool hasSubject = false;
};

MMS_HEADERS Headers(const Args &a)
{
    MMS_HEADERS h;
    h.to = a.to;
    h.cc = a.cc;
    h.from = a.from;
    h.subject = a.subject;
    h.hasSubject = a.hasSubject;
    return h;
}

void Encode(const Args &a)
{
    std::string inFolder, inName, outFolder, outName, why;
    SplitPath(a.in, inFolder, inName);
    SplitPath(a.out, outFolder, outName);
    if (!MmsWriteSendReq(inFolder.c_str(), inName.c_str(), Headers(a), outFolder.c_str(), outName.c_str(), &why)) {
        FailWith("cannot write " + a.out, why);
        return;
    }
    printf("wrote %s: an m-send-req to %d recipient(s)\n", medley::Printable(a.out).c_str(), (int)(a.to.size() + a.cc.size()));
}

void Export(const Args &a)
{
    std::string inFolder, inName, outFolder, outName, why;
    SplitPath(a.in, inFolder, inName);
    SplitPath(a.out, outFolder, outName);
    if (!MailExport(inFolder.c_str(), inName.c_str(), Headers(a), outFolder.c_str(), outName.c_str(), &why)) {
        FailWith("cannot write " + a.out, why);
        return;
    }
    printf("wrote %s\n", medley::Printable(a.out).c_str());
}

/* Writes every part into dir as `mime extract` does; false when any was not written. */
bool ExtractAll(MIME_MESSAGE *msg, const std::string &dir)
{
    struct State {
        const MIME_MESSAGE *msg;
        int missing;
    } st{msg, 0};
    std::string folder = dir;
    if (folder.back() != '/' && folder.back() != '\\')
        folder += kSep;
    auto report = [](const MIME_PART *part, int outcome, const char *file, uint32_t error, void *user) {
        State &s = *(State *)user;
        int index = 0;
        for (const MIME_PART *p = s.msg->firstPart; p && p != part; p = p->next)
            ++index;
        std::string name = medley::Printable(file);
        if (outcome == MIME_EXTRACT_WRITTEN) {
            printf("  part %d: %s\n", index, name.c_str());
            return;
        }
        ++s.missing;
        fprintf(stderr, "medley: part %d (%s) not written: %s\n", index, name.c_str(),
                outcome == MIME_EXTRACT_REFUSED ? "its name points outside the folder"
                                                : medley::Why(error).c_str());
    };
    MimeExtractAllEx(msg, folder.c_str(), 0, report, &st);
    return st.missing == 0;
}

void Decode(const std::string &in, const std::string &dir)
{
    std::string folder, name, why;
    SplitPath(in, folder, name);
    MMS_HEADERS h;
    MIME_MESSAGE *msg = MmsOpenPdu(folder.c_str(), name.c_str(), &h, &why);
    if (!msg) {
        FailWith("cannot read " + in, why);
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        MimeDestroy(msg);
        medley::Fail("cannot make the folder " + dir);
        return;
    }
    auto show = [](const char *label, const std::string &text) {
        printf("%-16s%s\n", label, medley::Printable(text).c_str());
    };
    show("message type:", h.messageType == MMS_M_SEND_REQ ? "m-send-req" : "m-retrieve-conf");
    char version[16];
    snprintf(version, sizeof version, "%d.%d", (h.version >> 4) & 7, h.version & 15);
    show("version:", h.version ? version : "(none)");
    show("transaction id:", h.transactionId);
    if (h.date >= 0) {
        time_t t = (time_t)h.date;
        struct tm tm;
#if defined(_WIN32)
        gmtime_s(&tm, &t);
#else
        gmtime_r(&t, &tm);
#endif
        char when[40];
        strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", &tm);
        show("date:", when);
    }
    show("from:", h.from.empty() ? "(filled in by the centre)" : h.from);
    for (const auto &a : h.to)
        show("to:", a);
    for (const auto &a : h.cc)
        show("cc:", a);
    for (const auto &a : h.bcc)
        show("bcc:", a);
    if (h.hasSubject)
        show("subject:", h.subject);
    if (!h.messageId.empty())
        show("message id:", h.messageId);
    if (h.skipped)
        printf("%-16s%d\n", "other headers:", h.skipped);
    show("content type:", msg->contentType ? msg->contentType : "");
    printf("%-16s%d\n", "parts:", (int)msg->partCount);
    bool all = ExtractAll(msg, dir);
    int parts = msg->partCount;
    MimeDestroy(msg);
    if (!all)
        medley::Fail("not every one of the " + std::to_string(parts) + " parts was written (files already there "
                     "are kept)");
}

void AddressOptions(CLI::App *cmd, Args &a)
{
    cmd->add_option("--to", a.to, "A recipient (repeatable)");
    cmd->add_option("--cc", a.cc, "A copy recipient (repeatable)");
    cmd->add_option("--subject", a.subject, "The subject");
    cmd->add_option("--from", a.from, "The sender");
}

void Setup(CLI::App &app)
{
    auto *mms = app.add_subcommand("mms", "Message files as the MMS PDUs phones send and receive");
    mms->require_subcommand(1);

    auto *enc = mms->add_subcommand("encode", "Write a message file as an m-send-req PDU");
    auto ea = std::make_shared<Args>();
    enc->add_option("MSG", ea->in, "The message file")->required();
    enc->add_option("OUT", ea->out, "The PDU to write (.mms)")->required();
    AddressOptions(enc, *ea);
    enc->footer("Recipients are phone numbers (+4712345678) or e-mail addresses.  Without --from the MMS "
                "centre fills in the sender.");
    enc->callback([=] {
        ea->hasSubject = enc->count("--subject") > 0;
        Encode(*ea);
    });

    auto *dec = mms->add_subcommand("decode", "Show an m-send-req or m-retrieve-conf and write its parts");
    auto din = std::make_shared<std::string>(), ddir = std::make_shared<std::string>();
    dec->add_option("IN", *din, "The PDU")->required();
    dec->add_option("OUTDIR", *ddir, "The folder to write the parts to (made when missing)")->required();
    dec->footer("Parts are named as by 'medley mime extract'; files already in the folder are kept.");
    dec->callback([=] { Decode(*din, *ddir); });

    auto *exp = app.add_subcommand("export", "Write a message file as an e-mail (.eml)");
    auto xa = std::make_shared<Args>();
    exp->add_option("MSG", xa->in, "The message file")->required();
    exp->add_option("OUT", xa->out, "The e-mail to write (.eml)")->required();
    AddressOptions(exp, *xa);
    exp->callback([=] {
        xa->hasSubject = exp->count("--subject") > 0;
        Export(*xa);
    });
}

}  // namespace

MEDLEY_VERBS("mms", Setup);
