/*
 * The host frame store and the operations over it.  The store keeps the first frame for the
 * life of the process, so the first test here runs before any frame exists and every later
 * test shares one frame whose directory and provider it re-arranges.
 */
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "basefun.h"
#include "skuilib.h"
#include "host_frame.h"
#include "testkit.h"

namespace {

class FakeProvider : public IResProvider {
public:
    MD_DECLARE_DESTROY(FakeProvider)
    void *Query(int32_t) override { return nullptr; }
    HINSTANCE GetInstance() override { return (HINSTANCE)(intptr_t)0x1234; }
    int32_t LoadResString(uint32_t id, char *buffer, int32_t size) override
    {
        lastSize = size;
        std::string text = id == 2 ? "ENGLISH" : id == 500 ? std::string(2000, 'x') : "";
        if (text.empty() || size <= 0)
            return 0;
        // The Windows string loader: copies what fits, always terminates.
        int32_t n = (int32_t)text.size() < size - 1 ? (int32_t)text.size() : size - 1;
        memcpy(buffer, text.data(), (size_t)n);
        buffer[n] = 0;
        return n;
    }
    HCURSOR LoadResCursor(int32_t id) override { return (HCURSOR)(intptr_t)(0x10000 + id); }
    int32_t GetFontFaceName(char *) override { return 0; }
    int32_t GetFontCharset(uint8_t *) override { return 0; }
    int32_t AdjustFontSize(int32_t s) override { return s; }
    int32_t lastSize = 0;
    ~FakeProvider() = default;
};

class WizardComponent : public IPlugInComponent {
public:
    explicit WizardComponent(bool answers) : m_answers(answers) {}
    MD_DECLARE_DESTROY(WizardComponent)
    void *Query(int32_t id) override
    {
        queried.push_back(id);
        return (m_answers && id == 9) ? (void *)this : nullptr;
    }
    static std::vector<int32_t> queried;
    static int destroyed;

protected:
    ~WizardComponent() { ++destroyed; }

private:
    bool m_answers;
};
std::vector<int32_t> WizardComponent::queried;
int WizardComponent::destroyed = 0;

class WizardPlugIn : public CPlugIn {
public:
    explicit WizardPlugIn(bool answers) : m_answers(answers) { m_guid = GUID_PLUGIN_WIZARD; }
    MD_DECLARE_DESTROY(WizardPlugIn)
    void SetFrame(IHostFrame *) override {}
    IPlugInComponent *NewComponent() override { return new WizardComponent(m_answers); }

protected:
    ~WizardPlugIn() = default;

private:
    bool m_answers;
};

using FakeFrame = testkit::TestFrame;

FakeFrame g_frame;
host::HostDir g_dir;
FakeProvider g_provider;

void EnsureFrame()
{
    SetHostFrame(&g_frame);
    g_frame.dir = &g_dir;
    g_frame.provider = &g_provider;
}

}  // namespace

TEST(BaseFun, LookupsBeforeAnyFrameReturnNothing)
{
    // No provider and no plug-in: what the resource calls and the plug-in wrappers do then is
    // checked with a frame that lacks them.
    testkit::AssertCapture asserts;
    EXPECT_EQ(GetResProvider(), nullptr);
    EXPECT_EQ(FindPlugIn(&GUID_PLUGIN_WIZARD), nullptr);

    SetHostFrame(nullptr);  // reported, and not stored
    ASSERT_EQ(asserts.reports().size(), 1u);
    EXPECT_EQ(asserts.reports()[0].expr, "pFrm");
    EXPECT_EQ(asserts.reports()[0].file, "BaseFun.cpp");
    EXPECT_GT(asserts.reports()[0].line, 0);
    EXPECT_EQ(GetResProvider(), nullptr);
}

TEST(BaseFun, ResourceAccessAsksTheFirstFrameEveryTime)
{
    EnsureFrame();
    FakeFrame second;  // a later frame is not taken
    FakeProvider other;
    second.provider = &other;
    SetHostFrame(&second);
    EXPECT_EQ(GetResProvider(), &g_provider);
    EXPECT_EQ(second.providerAsks, 0);
    int asks = g_frame.providerAsks;
    EXPECT_EQ(GetResInstance(), (HINSTANCE)(intptr_t)0x1234);
    EXPECT_EQ(GetResCursor(105), (HCURSOR)(intptr_t)(0x10000 + 105));
    EXPECT_EQ(GetResString(2), "ENGLISH");
    EXPECT_EQ(g_provider.lastSize, 1024);
    EXPECT_EQ(GetResString(0), "");
    EXPECT_EQ(GetResString(500), std::string(1023, 'x'));  // cut by the 1024-character buffer
    EXPECT_EQ(g_frame.providerAsks, asks + 5);

    g_frame.provider = nullptr;  // a frame without a provider
    EXPECT_EQ(GetResInstance(), nullptr);
    EXPECT_EQ(GetResCursor(105), nullptr);
    EXPECT_EQ(GetResString(2), "");
    g_frame.provider = &g_provider;
}

TEST(BaseFun, FindPlugInAndWrappers)
{
    EnsureFrame();
    auto *wizard = new WizardPlugIn(true);
    g_dir.Add(wizard);
    EXPECT_EQ(FindPlugIn(&GUID_PLUGIN_WIZARD), wizard);
    GUID unknown = GUID_PLUGIN_WIZARD;
    unknown.Data4[7] ^= 1;
    EXPECT_EQ(FindPlugIn(&unknown), nullptr);
    EXPECT_EQ(CreatePlugInComponent(&unknown), nullptr);
    EXPECT_EQ(QueryPlugInComponent(&unknown, nullptr, 9), nullptr);

    IPlugInComponent *c = CreatePlugInComponent(&GUID_PLUGIN_WIZARD);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(wizard->GetComponentCount(), 1);
    EXPECT_EQ(QueryPlugInComponent(&GUID_PLUGIN_WIZARD, c, 9), (void *)c);
    WizardComponent::destroyed = 0;
    DestroyPlugInComponent(&unknown, c);  // another GUID: nothing happens
    EXPECT_EQ(WizardComponent::destroyed, 0);
    DestroyPlugInComponent(&GUID_PLUGIN_WIZARD, c);
    EXPECT_EQ(WizardComponent::destroyed, 1);
    EXPECT_EQ(wizard->GetComponentCount(), 0);

    {
        testkit::AssertCapture asserts;
        EXPECT_EQ(FindPlugIn(nullptr), nullptr);
        EXPECT_TRUE(asserts.Saw("guid"));
        g_frame.dir = nullptr;
        EXPECT_EQ(FindPlugIn(&GUID_PLUGIN_WIZARD), nullptr);
        EXPECT_TRUE(asserts.Saw("pDir"));
        g_frame.dir = &g_dir;
    }
    g_dir.Remove(wizard);
    wizard->Destroy(1);
}

TEST(BaseFun, RunPlugInWizard)
{
    EnsureFrame();
    int built = GUI::CSKUIWizard::GetConstructedCount();
    EXPECT_EQ(RunPlugInWizard(), 0);  // no wizard plug-in: nothing created
    EXPECT_EQ(GUI::CSKUIWizard::GetConstructedCount(), built);

    auto *silent = new WizardPlugIn(false);
    g_dir.Add(silent);
    WizardComponent::destroyed = 0;
    WizardComponent::queried.clear();
    EXPECT_EQ(RunPlugInWizard(), 0);  // component does not answer 9: still destroyed
    EXPECT_EQ(WizardComponent::queried, (std::vector<int32_t>{9}));
    EXPECT_EQ(WizardComponent::destroyed, 1);
    EXPECT_EQ(silent->GetComponentCount(), 0);
    EXPECT_EQ(GUI::CSKUIWizard::GetConstructedCount(), built);

    auto *answering = new WizardPlugIn(true);
    g_dir.Remove(silent);
    g_dir.Add(answering);
    int torn = GUI::CSKUIWizard::GetDestroyedCount();
    EXPECT_EQ(RunPlugInWizard(), 1);
    EXPECT_EQ(GUI::CSKUIWizard::GetConstructedCount(), built + 1);
    EXPECT_EQ(GUI::CSKUIWizard::GetDestroyedCount(), torn + 1);
    EXPECT_EQ(answering->GetComponentCount(), 0);
    EXPECT_EQ(WizardComponent::destroyed, 2);

    g_dir.Remove(answering);
    silent->Destroy(1);
    answering->Destroy(1);
}
