/*
 * The plug-in object model: identity, queries, the component array, ownership, and every slot
 * reached by index as a host built by another compiler reaches it.
 */
#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <new>
#include <vector>

#include "basefun.h"
#include "plugin.h"
#include "plugin_host.h"
#include "testkit.h"

using namespace host;

/* Fault injection into `new (std::nothrow)`, the allocations the plug-in side checks: the Nth
 * such allocation of a single object (or of an array) from now on gives null; 0 disarms. */
static std::atomic<int> g_failNewIn{0}, g_failNewArrayIn{0};

static bool FailNow(std::atomic<int> &counter)
{
    int n = counter.load();
    while (n > 0 && !counter.compare_exchange_weak(n, n - 1)) {
    }
    return n == 1;
}

static void *Allocate(std::atomic<int> &counter, std::size_t n, void *(*allocate)(std::size_t)) noexcept
{
    if (FailNow(counter))
        return nullptr;
    try {
        return allocate(n);
    } catch (...) {
        return nullptr;
    }
}

void *operator new(std::size_t n, const std::nothrow_t &) noexcept { return Allocate(g_failNewIn, n, ::operator new); }
void *operator new[](std::size_t n, const std::nothrow_t &) noexcept
{
    return Allocate(g_failNewArrayIn, n, ::operator new[]);
}

namespace {

/* A component that records its deletion in a shared log. */
std::vector<int> g_deleted;

class LoggedComponent : public IPlugInComponent {
public:
    explicit LoggedComponent(int tag) : m_tag(tag) {}
    MD_DECLARE_DESTROY(LoggedComponent)
    void *Query(int32_t id) override { return id == 42 ? (void *)this : nullptr; }
    int tag() const { return m_tag; }

protected:
    ~LoggedComponent() { g_deleted.push_back(m_tag); }

private:
    int m_tag;
};

class TestPlugIn : public CPlugIn {
public:
    TestPlugIn() { m_nType = 7; }
    MD_DECLARE_DESTROY(TestPlugIn)
    void SetFrame(IHostFrame *) override {}
    IPlugInComponent *NewComponent() override
    {
        if (m_failNext) {
            m_failNext = false;
            return nullptr;
        }
        return new LoggedComponent(m_next++);
    }
    bool m_failNext = false;

protected:
    ~TestPlugIn() = default;

private:
    int m_next = 0;
};

const GUID kRedll = {0xEE0775CB, 0x88E3, 0x439A, {0x81, 0xBA, 0xB9, 0x47, 0x80, 0x0A, 0x93, 0xF6}};

}  // namespace

TEST(PlugInObject, ComponentArrayGrowsByTheAutomaticStep)
{
    auto *p = new TestPlugIn();
    std::vector<int32_t> caps;
    for (int i = 0; i < 6; ++i) {
        ASSERT_NE(p->CreateComponent(), nullptr);
        caps.push_back(p->GetComponentCapacity());
    }
    EXPECT_EQ(caps, (std::vector<int32_t>{1, 5, 5, 5, 5, 9}));
    // Past 40 entries the step is an eighth of the count; it never exceeds 1024.
    while (p->GetComponentCount() < 48)
        p->CreateComponent();
    int32_t before = p->GetComponentCapacity();
    while (p->GetComponentCount() < before)
        p->CreateComponent();
    int32_t count = p->GetComponentCount();
    p->CreateComponent();
    int32_t step = count / 8 < 4 ? 4 : count / 8;
    EXPECT_EQ(p->GetComponentCapacity(), before + step);
    p->Destroy(1);
}

TEST(PlugInObject, ComponentThatCannotBeKeptLeavesTheArrayAsItWas)
{
    // The factory makes nothing, the full array cannot grow, or the first array cannot be made:
    // no entry is taken, and a component made is let go, not leaked.
    const struct {
        const char *what;
        int before;  // components made first
        bool factoryFails;
        std::vector<int> deleted;
    } cases[] = {{"factory", 1, true, {}}, {"growth", 1, false, {1}}, {"first array", 0, false, {0}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto *p = new TestPlugIn();
        IPlugInComponent *first = c.before ? p->CreateComponent() : nullptr;
        g_deleted.clear();
        p->m_failNext = c.factoryFails;
        g_failNewArrayIn = c.factoryFails ? 0 : 1;
        EXPECT_EQ(p->CreateComponent(), nullptr);
        g_failNewArrayIn = 0;
        EXPECT_EQ(g_deleted, c.deleted);
        EXPECT_EQ(p->GetComponentCount(), c.before);
        EXPECT_EQ(p->GetComponentCapacity(), c.before);
        if (first) {
            EXPECT_EQ(p->QueryComponent(first, 42), (void *)first);
        }
        p->Destroy(1);
    }
}

TEST(PlugInObject, ProcessAttachFailsWhenThePlugInCannotBeMade)
{
    g_failNewIn = 1;
    EXPECT_FALSE(PlugInProcessAttach((HINSTANCE)nullptr));
    g_failNewIn = 0;
    EXPECT_EQ(PlugInGetInterface(), nullptr);  // nothing published
    EXPECT_EQ(GetModulePlugIn(), nullptr);
    ASSERT_TRUE(PlugInProcessAttach((HINSTANCE)nullptr));
    EXPECT_NE(PlugInGetInterface(), nullptr);
    EXPECT_NE(GetModulePlugIn(), nullptr);
    PlugInProcessDetach();  // deletes the plug-in: nothing is handed out after it
    EXPECT_EQ(PlugInGetInterface(), nullptr);
    EXPECT_EQ(GetModulePlugIn(), nullptr);
}

TEST(PlugInObject, DestroyComponentFindsMovesAndDeletesOnce)
{
    auto *p = new TestPlugIn();
    auto *other = new TestPlugIn();
    IPlugInComponent *foreign = other->CreateComponent();
    g_deleted.clear();
    IPlugInComponent *c[4];
    for (auto &x : c)
        x = p->CreateComponent();

    p->DestroyComponent(c[3]);  // the last: nothing moves
    EXPECT_EQ(g_deleted, (std::vector<int>{3}));
    ASSERT_EQ(p->GetComponentCount(), 3);
    EXPECT_EQ(p->GetComponentCapacity(), 5);

    p->DestroyComponent(c[0]);  // the first: the others move down, in order
    ASSERT_EQ(p->GetComponentCount(), 2);
    EXPECT_EQ(p->GetComponentAt(0), c[1]);
    EXPECT_EQ(p->GetComponentAt(1), c[2]);

    p->DestroyComponent(c[0]);  // already gone: nothing found, nothing deleted
    p->DestroyComponent(nullptr);
    EXPECT_EQ(g_deleted, (std::vector<int>{3, 0}));
    EXPECT_EQ(p->GetComponentCount(), 2);

    // A component this plug-in does not own is left alone.
    p->DestroyComponent(foreign);
    EXPECT_EQ(other->GetComponentCount(), 1);
    EXPECT_EQ(g_deleted.size(), 2u);

    // QueryComponent forwards even to a component of another plug-in; null gives 0.
    EXPECT_EQ(p->QueryComponent(foreign, 42), (void *)foreign);
    EXPECT_EQ(p->QueryComponent(nullptr, 6), nullptr);
    EXPECT_EQ(p->GetComponentCount(), 2);

    g_deleted.clear();
    other->Destroy(1);
    EXPECT_EQ(g_deleted, (std::vector<int>{0}));

    // Deleting the plug-in deletes the rest once each, in array order.
    g_deleted.clear();
    p->Destroy(1);
    EXPECT_EQ(g_deleted, (std::vector<int>{1, 2}));
}

/* The module itself, loaded and driven the way the host application does it. */
TEST(PlugInModule, HostReachesEverySlotByIndex)
{
    PlugInHost h;
    ASSERT_TRUE(h.Load(testkit::ProgramDir() + "redll.pll")) << h.error();
    void *p = h.plugin();
    EXPECT_EQ(MdCallSlot<int32_t>(p, PI_GETTYPE), 3);
    for (int32_t id : {1, 4, 6})  // the root and plug-in ids, not the provider's
        EXPECT_EQ(MdCallSlot<void *>(p, PI_QUERY, id), (void *)(intptr_t)(id != 6)) << id;
    GUID g;
    EXPECT_EQ(MdCallSlot<int32_t>(p, PI_GETGUID, &g), 1);
    EXPECT_EQ(memcmp(&g, &kRedll, sizeof g), 0);
    EXPECT_EQ(GuidToString(g), "{ee0775cb-88e3-439a-81ba-b947800a93f6}");
    EXPECT_EQ(MdCallSlot<int32_t>(p, PI_GETGUID, (GUID *)nullptr), 0);

    // The host created one component while loading; make and drop another by slot.
    IPlugInComponent *c = MdCallSlot<IPlugInComponent *>(p, PI_CREATECOMPONENT);
    ASSERT_NE(c, nullptr);
    void *rp = MdCallSlot<void *>(p, PI_QUERYCOMPONENT, c, (int32_t)6);
    ASSERT_NE(rp, nullptr);
    for (int32_t id : {1, 4, 6}) {  // the component hands out its provider by the root and the provider id
        EXPECT_EQ(MdCallSlot<void *>(c, 1, id), id == 4 ? nullptr : rp) << id;
        EXPECT_EQ(MdCallSlot<void *>(rp, RP_QUERY, id), (void *)(intptr_t)(id != 4)) << id;
    }
    EXPECT_EQ(MdCallSlot<HINSTANCE>(rp, RP_GETINSTANCE), (HINSTANCE)h.module());

    MdCallSlot<void>(p, PI_DESTROYCOMPONENT, c);
    MdCallSlot<void>(p, PI_DESTROYCOMPONENT, c);  // a second time finds nothing
    EXPECT_EQ(h.String(1), "Zelkova Medley Studio");
    h.Unload();
}

TEST(PlugInModule, OneExportAndTheFrameLeadsTheLibraryToTheModulesOwnStrings)
{
    HMODULE m = LoadLibraryA((testkit::ProgramDir() + "redll.pll").c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_NE(GetProcAddress(m, "MD_GetPlugInInterface"), nullptr);
    // Nothing of the library inside leaks out as an export.
    EXPECT_EQ(GetProcAddress(m, "SetHostFrame"), nullptr);
    EXPECT_EQ(GetProcAddress(m, "DllMain"), nullptr);

    // The module's plug-in, with the module's resources, handed a host frame whose provider is
    // its own component's: the library's GetResString goes frame -> provider -> string table.
    ASSERT_TRUE(PlugInProcessAttach((HINSTANCE)m));
    CPlugIn *p = PlugInGetInterface();
    IPlugInComponent *c = p->CreateComponent();
    ASSERT_NE(c, nullptr);
    auto *provider = static_cast<IResProvider *>(p->QueryComponent(c, 6));
    ASSERT_NE(provider, nullptr);
    static HostDir dir;  // the library keeps the first frame for good
    static HostFrame frame(&dir);
    frame.SetProvider(provider);
    dir.Add(p);
    EXPECT_EQ(GetResString(2), "");  // no frame yet
    p->SetFrame(&frame);
    EXPECT_EQ(GetResString(2), "ENGLISH");
    EXPECT_EQ(GetResString(110), "Your message has been sent successfully!");
    EXPECT_EQ(FindPlugIn(&kRedll), p);
    frame.SetProvider(nullptr);
    dir.Remove(p);
    PlugInProcessDetach();
    FreeLibrary(m);
}
