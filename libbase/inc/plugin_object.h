/*
 * The plug-in object model shared with the host.
 *
 * The host and other plug-ins call every operation by its slot position, and they may be built
 * by another compiler.  So that slot N is the N-th declared virtual on every target:
 *   - no virtual destructor (the Itanium ABI spends two slots on one): slot 0 is Destroy(flags),
 *     the deleting-destructor call with bit 0 = free the memory, and every concrete class
 *     implements it with MD_DECLARE_DESTROY; the real destructor is protected and non-virtual;
 *   - no overloaded virtual names, single inheritance, fixed-width integers, no struct
 *     returned by value.
 * MD_SLOTCALL is the calling convention a function pointer needs to call a slot by index.
 */
#pragma once
#include <windows.h>

#include <stdint.h>

#if defined(_WIN32) && defined(__i386__)
#define MD_SLOTCALL __thiscall
#else
#define MD_SLOTCALL
#endif

/* Interface ids answered by Query. */
enum : int32_t {
    MD_IID_ROOT = 1,
    MD_IID_PLUGIN = 4,
    MD_IID_RESPROVIDER = 6,
    MD_IID_WIZARD = 9,
};

/* Slot 0 of every concrete class: run the destructor chain, free when bit 0 is set. */
#define MD_DECLARE_DESTROY(Class)                                                  \
    void *Destroy(uint32_t flags) override                                         \
    {                                                                              \
        this->Class::~Class(); /* this class's own, non-virtual destructor */     \
        if (flags & 1)                                                             \
            ::operator delete(this);                                               \
        return this;                                                               \
    }

class IPlugInObject {
public:
    virtual void *Destroy(uint32_t flags) = 0;  // slot 0
    virtual void *Query(int32_t id) = 0;        // slot 1

protected:
    ~IPlugInObject() = default;
};

class IPlugInComponent {
public:
    virtual void *Destroy(uint32_t flags) = 0;  // slot 0
    virtual void *Query(int32_t id) = 0;        // slot 1

protected:
    ~IPlugInComponent() = default;
};

class IHostFrame;

/* Base class of every plug-in object.  The component array grows as CMkArray does. */
class CPlugIn : public IPlugInObject {
public:
    CPlugIn();

    void *Query(int32_t id) override;                                       // slot 1
    virtual IPlugInComponent *CreateComponent();                             // slot 2
    virtual int32_t GetGUID(GUID *out);                                      // slot 3
    virtual void *QueryComponent(IPlugInComponent *component, int32_t id);  // slot 4
    virtual void DestroyComponent(IPlugInComponent *component);             // slot 5
    virtual int32_t GetType();                                               // slot 6
    virtual void SetFrame(IHostFrame *frame) = 0;                            // slot 7
    virtual IPlugInComponent *NewComponent() = 0;                            // slot 8

    void SetInstance(HINSTANCE instance) { m_hInstance = instance; }
    HINSTANCE GetInstance() const { return m_hInstance; }

    /* Read access to the component array, for hosts and tests. */
    int32_t GetComponentCount() const { return m_nSize; }
    int32_t GetComponentCapacity() const { return m_nMaxSize; }
    IPlugInComponent *GetComponentAt(int32_t i) const
    {
        return (i >= 0 && i < m_nSize) ? m_pData[i] : nullptr;
    }

protected:
    ~CPlugIn();

    int32_t m_nType;
    GUID m_guid;
    HINSTANCE m_hInstance;
    IPlugInComponent **m_pData;
    int32_t m_nSize;
    int32_t m_nMaxSize;
    int32_t m_nGrowBy;
};

class IResProvider : public IPlugInObject {
public:
    virtual HINSTANCE GetInstance() = 0;                                          // slot 2
    virtual int32_t LoadResString(uint32_t id, char *buffer, int32_t size) = 0;  // slot 3
    virtual HCURSOR LoadResCursor(int32_t id) = 0;                                // slot 4
    virtual int32_t GetFontFaceName(char *buffer) = 0;                            // slot 5
    virtual int32_t GetFontCharset(uint8_t *charset) = 0;                         // slot 6
    virtual int32_t AdjustFontSize(int32_t size) = 0;                             // slot 7

protected:
    ~IResProvider() = default;
};

class IPlugInDir {
public:
    virtual void *Destroy(uint32_t flags) = 0;       // slot 0
    virtual void *Query(int32_t id) = 0;             // slot 1
    virtual CPlugIn *FindByGUID(const GUID *guid) = 0;  // slot 2

protected:
    ~IPlugInDir() = default;
};

/* The host's frame.  The library calls slots 2 and 9 only; the others belong to the host. */
class IHostFrame {
public:
    virtual void *Destroy(uint32_t flags) = 0;      // slot 0
    virtual void *Query(int32_t id) = 0;            // slot 1
    virtual IPlugInDir *GetPlugInDir() = 0;         // slot 2
    virtual void *HostSlot3() = 0;                  // slots 3-8: the host's own
    virtual void *HostSlot4() = 0;
    virtual void *HostSlot5() = 0;
    virtual void *HostSlot6() = 0;
    virtual void *HostSlot7() = 0;
    virtual void *HostSlot8() = 0;
    virtual IResProvider *GetResourceProvider() = 0;  // slot 9

protected:
    ~IHostFrame() = default;
};

/* Calls slot `slot` of `object` the way a host built by another compiler does: through the
 * object's first pointer-sized word, the slot table. */
template <typename Ret, typename... Args>
inline Ret MdCallSlot(void *object, int slot, Args... args)
{
    typedef Ret(MD_SLOTCALL * Fn)(void *, Args...);
    Fn *table = *reinterpret_cast<Fn **>(object);
    return table[slot](object, args...);
}
