/*
 * CPlugIn: the base of every plug-in object (this module's and any other that links the base
 * library), and its component array.
 *
 * The array is owned storage of m_nMaxSize entries of which the first m_nSize are in use;
 * entries past m_nSize are zero.  It grows as CMkArray does with an automatic step: the count
 * before the append divided by 8, held between 4 and 1024 (capacities 1, 5, 9, 13, ...).
 */
#include "plugin_object.h"

#include <new>
#include <string.h>

CPlugIn::CPlugIn()
    : m_nType(0), m_guid(), m_hInstance(nullptr), m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0)
{
}

CPlugIn::~CPlugIn()
{
    for (int32_t i = 0; i < m_nSize; ++i)
        if (m_pData[i])
            m_pData[i]->Destroy(1);
    delete[] m_pData;
}

void *CPlugIn::Query(int32_t id)
{
    return (void *)(intptr_t)((id == MD_IID_ROOT || id == MD_IID_PLUGIN) ? 1 : 0);
}

IPlugInComponent *CPlugIn::CreateComponent()
{
    IPlugInComponent *component = NewComponent();
    if (!component)
        return nullptr;

    int32_t index = m_nSize;
    int32_t newSize = m_nSize + 1;
    if (!m_pData) {
        m_pData = new (std::nothrow) IPlugInComponent *[newSize];
        if (!m_pData) {
            component->Destroy(1);
            return nullptr;
        }
        memset(m_pData, 0, sizeof(*m_pData) * newSize);
        m_nMaxSize = newSize;
    } else if (newSize <= m_nMaxSize) {
        memset(m_pData + m_nSize, 0, sizeof(*m_pData) * (newSize - m_nSize));
    } else {
        int32_t grow = m_nGrowBy;
        if (grow == 0) {
            grow = m_nSize / 8;
            grow = grow < 4 ? 4 : (grow > 1024 ? 1024 : grow);
        }
        int32_t newMax = m_nMaxSize + grow;
        if (newMax < newSize)
            newMax = newSize;
        IPlugInComponent **data = new (std::nothrow) IPlugInComponent *[newMax];
        if (!data) {
            // The array stays as it was; the component is not kept.
            component->Destroy(1);
            return nullptr;
        }
        memcpy(data, m_pData, sizeof(*m_pData) * m_nSize);
        memset(data + m_nSize, 0, sizeof(*data) * (newSize - m_nSize));
        delete[] m_pData;
        m_pData = data;
        m_nMaxSize = newMax;
    }
    m_nSize = newSize;
    m_pData[index] = component;
    return component;
}

int32_t CPlugIn::GetGUID(GUID *out)
{
    if (!out)
        return 0;
    out->Data1 = m_guid.Data1;
    out->Data2 = m_guid.Data2;
    out->Data3 = m_guid.Data3;
    memcpy(out->Data4, m_guid.Data4, sizeof out->Data4);
    return 1;
}

void *CPlugIn::QueryComponent(IPlugInComponent *component, int32_t id)
{
    if (!component)
        return nullptr;
    return component->Query(id);
}

void CPlugIn::DestroyComponent(IPlugInComponent *component)
{
    if (!component || m_nSize < 1)
        return;
    int32_t i = 0;
    while (i < m_nSize && m_pData[i] != component)
        ++i;
    if (i == m_nSize)
        return;  // not ours
    if (i + 1 < m_nSize)
        memmove(m_pData + i, m_pData + i + 1, sizeof(*m_pData) * (m_nSize - i - 1));
    --m_nSize;
    m_pData[m_nSize] = nullptr;  // keeps the entries past the count zero
    component->Destroy(1);
}

int32_t CPlugIn::GetType() { return m_nType; }
