/*
 * The main job, end to end: a folder of media becomes a message two ways, the SMIL-led
 * message goes to a simulated phone over IrDA, and what the phone received is opened,
 * extracted, checked byte for byte against what was sent and shown as thumbnails.
 */
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace demo {

struct Options {
    std::string userFolder;  // media to send; empty: a sample folder drawn by the program
    std::string workFolder;  // where everything goes; empty: "medley-demo" in the temp folder
    unsigned long maxSize = 0;   // fit the presentation-led message into this many octets
                                 // before sending (0: send it as composed)
    bool inProcessLink = false;  // talk to the phone through the in-process socket table even
                                 // where the platform's local IrDA link is available
    std::function<void(const std::string &)> print;          // one line of the report
    std::function<void(const std::string &, uint64_t, uint64_t)> progress;  // label, done, total
};

struct Report {
    bool ok = false;
    std::string failedStep;            // the step that failed, when !ok
    std::string reason;                // why
    std::string workFolder;
    std::vector<std::string> damaged;  // user files left out, "name: why"
    std::string sentFile;              // the SMIL-led message (fitted, with maxSize)
    long long composedSize = 0;        // with maxSize: the message before and after fitting
    long long fittedSize = 0;
    int picturesShrunk = 0;
    std::string receivedFile;          // what the phone stored
    int partsChecked = 0;              // parts compared byte for byte
    int pictures = 0, texts = 0, sounds = 0;  // media of the presentation-led message
    int thumbnails = 0;
    std::string storyboard;            // the storyboard PNG ("" when no font was found)
    std::string webPage;               // the web page's index.html
};

/* Runs every step; stops at the first that fails (Report says which and why). */
bool Run(const Options &options, Report *report);

}  // namespace demo
