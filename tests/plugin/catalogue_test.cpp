/*
 * The module's string table as the host reads it: every id through the provider's slot 3, the
 * truncation rules of LoadStringA, and the dialog-font settings that depend on string 2.
 */
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "plugin.h"
#include "loaded_module.h"
#include "testkit.h"

using namespace host;

namespace {

struct Expected {
    uint32_t id;
    const char *text;
};

/* Every string of the catalogue, spelling, doubled and trailing blanks included. */
const Expected kStrings[] = {
    {1, "Zelkova Medley Studio"},
    {2, "ENGLISH"},
    {3, "Are you sure you want to delete this photo?"},
    {4, "Failed to load contents! "},
    {5, "Zelkova Medley Studio"},
    {9, "Unable to find INI file"},
    {10, "Unable to load file"},
    {11, "Unable to save file"},
    {12, "Unable to find album"},
    {13, "Unable to change text"},
    {14, "Unable to get text"},
    {15, "Zelkova Medley Studio"},
    {17, "Slideshow"},
    {18, "Must input text"},
    {20, "MMS_TXTTIMELINEINDEX"},
    {21, "MMS_IMGTIMELINEINDEX"},
    {22, "MMS_TXTOBJECTINDEX"},
    {23, "MMS_IMGOBJECTINDEX"},
    {24, "MMS_CONTENTSTYPE"},
    {25, "MMS_THUMBNIAL"},
    {26, "READYTOGO"},
    {27, "GREETINGCARD"},
    {28, "MINIJESTROOM"},
    {29, "ANIMATEDTEXT"},
    {30, "Redo"},
    {31, "Undo"},
    {32, "Rotate Left 90 Degrees"},
    {33, "Rotate Right 90 Degrees"},
    {34, "Flip"},
    {35, "Vertical Mirror"},
    {36, "Zoom In"},
    {37, "Zoom Out"},
    {38, "Delete"},
    {39, "Crop"},
    {40, "Pen"},
    {41, "Eraser"},
    {42, "MMS_ANIMATEDTEXT_STYLE"},
    {43, "MMS_ANIMATEDTEXT_FETFILENAME"},
    {44, "MMS_ANIMATEDTEXT_COUNT"},
    {45, "Your phone number is invalid!"},
    {46, "MMS_BACKGROUND"},
    {47, "Byte(s)"},
    {48, "Sec(s)"},
    {49, "Sec(s)"},
    {50, "Play"},
    {51, "Stop"},
    {52, "Unable to get background image."},
    {53, "http://www.zelkova.example/"},
    {54, "MMS_ANIMATEDTEXT_WIDTH"},
    {55, "MMS_ANIMATEDTEXT_HEIGHT"},
    {56, "MMS_ANIMATEDTEXT_STARTX"},
    {57, "MMS_ANIMATEDTEXT_STARTY"},
    {58, "MMS_ANIMATEDTEXT_ENDX"},
    {59, "MMS_ANIMATEDTEXT_ENDY"},
    {60, "MMS_ANIMATEDTEXT_CONTENT"},
    {61, "MMS_ANIMATEDTEXT_STARTALPHA"},
    {62, "MMS_ANIMATEDTEXT_ENDALPHA"},
    {63, "MMS_ANIMATEDTEXT_FPS"},
    {64, "Pause"},
    {65, "Enlarge"},
    {66, "Reduce"},
    {67, "Rotate Left"},
    {68, "Rotate Right"},
    {69, "Horizontal Mirror"},
    {70, "Vertical Mirror"},
    {71, "Reset"},
    {72, "Move Left"},
    {73, "Move Right"},
    {74, "Move Up"},
    {75, "Move Down"},
    {76, "Failed find mime file"},
    {77, "MMS_ANIMATETEXT_BACKGROUNND"},
    {78, "Pan"},
    {79, "Next Media"},
    {80, "Previous Media"},
    {85, "Contract"},
    {86, "Expand"},
    {87, "Help"},
    {88, "Minimize"},
    {89, "Close"},
    {90, "No audio playback device detected."},
    {91, "Unable to allocate memory for wave audio buffers."},
    {92, "Unable to open wave out device."},
    {93, "Unable to prepare wave audio buffer for playback."},
    {94, "Output to wave audio device failed."},
    {95, "Currently the service not available."},
    {96, "Record"},
    {97, "Format"},
    {98, "Save the recorded wave file?"},
    {99, "Unable to open audio device for recording."},
    {101, "Select Compression Ratio"},
    {102, "No audio device found."},
    {103, "Unable to initialize the audio device."},
    {104, "Recording...%7ld Bytes, %5.1lf Sec."},
    {105, "Playing...%7ld Bytes, %5.1lf Sec."},
    {106, "Ready%7ld Bytes, %5.1lf Sec."},
    {107, "Maximum"},
    {109, "http://www.zelkova.example/products/"},
    {110, "Your message has been sent successfully!"},
    {111, "Active Slide"},
    {112, "Entire Message"},
    {113, "Change Size"},
    {114, "The photo is being edited and cannot be deleted."},
    {115, "By Name"},
    {116, "By Date"},
    {117, "By Size"},
    {118, "Do you want to add this message to the Storyboard?"},
    {120, "Cannot find the file %s."},
    {121, "Cannot insert this file into the album."},
    {124, "[New Album]"},
    {125, "Do you  want to rename current album?"},
    {126, "Login successfully."},
    {127, "Unable to login."},
    {128, "Please enter a valid email address."},
    {129, "Please enter your password."},
    {132, "Please enter a valid phone number."},
    {133, "Your message has been saved successfully!"},
    {134, "Sorry,  the mobile number already exists.  Please input\nanother one. "},
    {135, "Sorry, cannot update mobile number. Please try again."},
    {136, "Congratulation. You have updated your account information successfully. "},
    {137, "Successfully. You will receive a sms text message and a email in a minute, which contains your account password."},
    {138, "This album cannot be renamed."},
    {139, "The email you entered is not valid."},
    {140, "The phone number you entered is not valid."},
    {141, "Are you sure you want to delete this group? All contacts\nbelonging to this group will also be deleted. "},
    {142, "Are you sure you want to delete this contact?"},
    {143, "There is no message subject. Continue?"},
    {144, "Are you sure you want to delete the selected message(s)?"},
    {145, "The audio playing time is more than one minute."},
    {147, "Can not add more than 8 photos!"},
    {148, "Unable to create album."},
    {149, "Please enter your user ID."},
    {150, "Restore"},
    {151, "Edit Selected Message"},
    {152, "Delete Selected Message(s)"},
    {156, "Your message has been synchronized successfully."},
    {157, "Unable to synchronize your message."},
    {158, "Send"},
    {159, "Sync"},
    {160, "The selected content has expired!"},
    {161, "Download contents successfully!"},
    {162, "Unable to download content. "},
    {163, "Unable to connect to server."},
    {166, "Sorry, MIME file wrapping failed. Please try again."},
    {167, "Please select an item from the list!"},
    {168, "Edit Group/Contact"},
    {169, "Delete Group/Contact"},
    {170, "Previous Location"},
    {171, "Next Location"},
    {172, "Up"},
    {173, "Sort"},
    {174, "Thumbnail View"},
    {175, "List View"},
    {176, "Add Photo"},
    {177, "Delete"},
    {178, "Album Name"},
    {179, "Unable to synchronize your message."},
    {180, "Select from Address Book"},
    {181, "Full Resolution View "},
    {183, "Only the first slide of your message will be synchronized.\nContinue?"},
    {186, "An album with this name currently exists.  Please enter\nanother name."},
    {188, "Addressbook Sync"},
    {189, "Congratulation! You have registered successfully."},
    {190, "Sorry, the user name already exists.  Please input another\none."},
    {191, "Cannot get the server name or ip. Register failed."},
    {192, "Register failed, please try again."},
    {195, "You have messages in your outbox, do you want to send\nthem now? "},
    {197, "Album name cannot be null. Please input again."},
    {198, "Delete"},
    {199, "Nothing was downloaded!"},
    {200, "Operation is cancelled!"},
    {201, "The downloaded file is invalid!"},
    {202, "Device profile is updated successfully."},
    {203, "Unable to update device profile."},
    {204, "Fail to download content file list."},
    {206, "Custom Size"},
    {207, "Update Device Profile"},
    {208, "No Subject"},
    {209, "To"},
    {210, "Subject"},
    {211, "Saved"},
    {212, "Recipient: "},
    {213, "Sent"},
    {214, "Edit"},
    {215, "Delete"},
    {216, "Sync"},
    {217, "User id can only include letters and numbers. Please input \nagain."},
    {218, "Password can only include letters and numbers. Please \ninput again."},
    {219, "Left Align"},
    {220, "Center Align"},
    {221, "Right Align"},
    {222, "Impact"},
    {223, "Tahoma Bold"},
    {224, "Comic Sans MS"},
    {225, "Times New Roman"},
    {226, "Mon"},
    {227, "Sun"},
    {228, "Tue"},
    {229, "Wed"},
    {230, "Thurs"},
    {231, "Fri"},
    {232, "Sat"},
    {233, "The original file of the thumbnail does not exist."},
    {234, "Publish message successfully."},
    {235, "Sorry, this is an invalid user."},
    {236, "Sorry, the user type is not supported."},
    {237, "Sorry, there is an internal error on server. Please try later."},
    {238, "Sorry, this category does not exist."},
    {239, "Sorry, there is a permission error."},
    {240, "The group name exists already.Please try again."},
    {241, "Sorry, cannot get the category information from server."},
    {242, "Sorry, unable publish this message."},
    {243, "There is an unknown error and this operation is canceled."},
    {244, "NewAlbum"},
    {245, "You have to choose a leaf category to publish message."},
    {246, "The file selected is too big.Please select another file."},
    {247, "Please select a leaf category"},
    {248, "Can not play the message!"},
    {249, "Can not save the message!"},
    {250, "This operation will stop recording and current record \ninformation will not be saved. "},
    {251, "The free disk space is not enough."},
    {252, "Generic"},
    {253, "The destination is invalid."},
    {254, "User name or password is invalid.Unable login."},
    {255, "Sending to the first destination is successfully."},
};

/* The text of string `id`, empty when the catalogue has none. */
const char *Text(uint32_t id)
{
    for (const Expected &e : kStrings)
        if (e.id == id)
            return e.text;
    return "";
}

class Catalogue : public LoadedModule {};

TEST_F(Catalogue, EveryIdFrom0To300LoadsItsTextOrNothing)
{
    for (uint32_t id = 0; id <= 300; ++id) {
        std::vector<char> buf(1024, '\xCC');
        int32_t n = MdCallSlot<int32_t>(s_host->provider(), RP_LOADRESSTRING, id, buf.data(), (int32_t)buf.size());
        EXPECT_EQ((int32_t)strlen(Text(id)), n) << "id " << id;
        EXPECT_STREQ(Text(id), buf.data()) << "id " << id;
    }
}

/* LoadStringA with short buffers, probed as Wine's conformance tests do. */
TEST_F(Catalogue, LoadStringTruncatesAsWindows)
{
    HINSTANCE module = (HINSTANCE)s_host->module();
    const std::string text = "Your message has been sent successfully!";
    const int len = (int)text.size();
    char buf[64];

    // A one-character buffer, an exact fit, one short (nothing written past it), none at all.
    const struct {
        int size, count;
        std::string text;
    } rows[] = {{1, 0, ""}, {len + 1, len, text}, {len, len - 1, text.substr(0, (size_t)len - 1)}};
    for (const auto &r : rows) {
        memset(buf, 0xCC, sizeof buf);
        EXPECT_EQ(r.count, LoadStringA(module, 110, buf, r.size)) << r.size;
        EXPECT_EQ(r.text, std::string(buf)) << r.size;
        EXPECT_EQ((char)0xCC, buf[r.size]) << r.size;
    }
    memset(buf, 0xCC, sizeof buf);
    EXPECT_EQ(-1, LoadStringA(module, 110, buf, 0));
    EXPECT_EQ((char)0xCC, buf[0]);

    // The provider hands LoadStringA's result back unchanged.
    int32_t n = 0;
    EXPECT_EQ("Your", s_host->String(110, 5, &n));
    EXPECT_EQ(4, n);
    // Only the low 16 bits of an id count.
    EXPECT_EQ(text, s_host->String(110 | 0x10000));
}

TEST_F(Catalogue, FontSettingsThroughTheSlots)
{
    IResProvider *p = s_host->provider();
    char face[260];
    memset(face, 0xCC, sizeof face);
    EXPECT_EQ(1, MdCallSlot<int32_t>(p, RP_GETFONTFACENAME, face));
    EXPECT_STREQ("MS Sans Serif", face);
    EXPECT_EQ(0xCC, (unsigned char)face[14]);  // nothing written past the terminator
    EXPECT_EQ(0, MdCallSlot<int32_t>(p, RP_GETFONTFACENAME, (char *)nullptr));
    uint8_t charset = 0xCC;
    EXPECT_EQ(1, MdCallSlot<int32_t>(p, RP_GETFONTCHARSET, &charset));
    EXPECT_EQ(1, charset);
    EXPECT_EQ(0, MdCallSlot<int32_t>(p, RP_GETFONTCHARSET, (uint8_t *)nullptr));
    // String 2 is "ENGLISH": small sizes stay.
    for (int32_t size : {-3, 0, 8, 11, 12, 20})
        EXPECT_EQ(size, MdCallSlot<int32_t>(p, RP_ADJUSTFONTSIZE, size)) << size;
}

/* A provider whose language string is whatever the test says, to reach the East-Asian rule. */
class LanguageProvider : public CResProvider {
public:
    explicit LanguageProvider(const char *language) : m_language(language) {}
    int32_t LoadResString(uint32_t id, char *buffer, int32_t size) override
    {
        ++m_loads;
        if (id != 2 || !m_language || size <= 0)
            return 0;
        int32_t n = (int32_t)strlen(m_language);
        if (n > size - 1)
            n = size - 1;
        memcpy(buffer, m_language, (size_t)n);
        buffer[n] = 0;
        return n;
    }
    int m_loads = 0;

private:
    const char *m_language;
};

TEST(AdjustFontSize, EastAsianLanguagesGetAtLeast12)
{
    // Below 12 the language (string 2) is read, in any case: an East-Asian one raises the size
    // to 12, any other or none keeps it.  From 12 on nothing is read.
    const struct {
        const char *language;
        int32_t size, want;
        int loads;
    } cases[] = {
        {"JAPANESE", 8, 12, 1}, {"japanese", -1, 12, 1}, {"JaPaNeSe", 11, 12, 1}, {"KOREAN", 8, 12, 1},
        {"Chinese", 11, 12, 1}, {"tchinese", 8, 12, 1},  {"ENGLISH", 8, 8, 1},    {"JAPANESE ", 8, 8, 1},
        {"JAPAN", 11, 11, 1},   {"GERMAN", 8, 8, 1},     {"SCHINESE", 8, 8, 1},   {"", 8, 8, 1},
        {nullptr, 10, 10, 1},   {"JAPANESE", 12, 12, 0}, {"JAPANESE", 20, 20, 0},
    };
    for (const auto &c : cases) {
        LanguageProvider p(c.language);
        EXPECT_EQ(c.want, p.AdjustFontSize(c.size)) << (c.language ? c.language : "none") << " " << c.size;
        EXPECT_EQ(c.loads, p.m_loads) << (c.language ? c.language : "none") << " " << c.size;
    }
}

}  // namespace
