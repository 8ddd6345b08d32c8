/*
 * The message container: timelines of media objects, regions and the root layout.
 */
#include <string.h>

#include <new>

#include "mdoc_private.h"

using mdoc::Object;

static std::vector<Object> *Timeline(HMMSCONTAINER c, int t)
{
    if (!c || t < 0 || (size_t)t >= c->timelines.size())
        return nullptr;
    return &c->timelines[t];
}

static Object *Obj(HMMSCONTAINER c, int t, int i)
{
    std::vector<Object> *tl = Timeline(c, t);
    if (!tl || i < 0 || (size_t)i >= tl->size())
        return nullptr;
    return &(*tl)[i];
}

static std::string Str(LPCSTR s) { return s ? std::string(s) : std::string(); }

static LPSTR Ptr(const std::string &s) { return s.empty() ? nullptr : const_cast<LPSTR>(s.c_str()); }

static void CopyAttIn(Object &o, const MEDIA_ATT *a)
{
    o.num = MEDIA_ATT{};
    if (!a)
        return;
    o.num = *a;
    o.num.lpszRegion = o.num.lpszSrc = o.num.lpszAlt = nullptr;
    o.num.lpszContentType = o.num.lpszContentId = nullptr;
    if (a->lpszSrc && *a->lpszSrc)
        o.src = a->lpszSrc;
    o.alt = Str(a->lpszAlt);
    o.contentType = Str(a->lpszContentType);
    o.contentId = Str(a->lpszContentId);
}

MDOC_API HMMSCONTAINER WINAPI mmsContainerCreate(void) { return new (std::nothrow) MDOC_CONTAINER(); }

MDOC_API void WINAPI mmsContainerDestroy(HMMSCONTAINER hCont) { delete hCont; }

MDOC_API int WINAPI mmsGetTimeLineCount(HMMSCONTAINER hCont) { return hCont ? (int)hCont->timelines.size() : 0; }

MDOC_API int WINAPI mmsInsertTimeLine(HMMSCONTAINER hCont, int nPos)
{
    if (!hCont || nPos < -1 || nPos > (int)hCont->timelines.size())
        return -1;
    try {
        if (nPos == -1)
            nPos = (int)hCont->timelines.size();
        hCont->timelines.insert(hCont->timelines.begin() + nPos, std::vector<Object>());
        return nPos;
    } catch (...) {
        return -1;
    }
}

MDOC_API BOOL WINAPI mmsDestroyTimeLine(HMMSCONTAINER hCont, int nTimeLine)
{
    if (!Timeline(hCont, nTimeLine))
        return FALSE;
    hCont->timelines.erase(hCont->timelines.begin() + nTimeLine);
    return TRUE;
}

MDOC_API int WINAPI mmsGetObjectCountByTimeLine(HMMSCONTAINER hCont, int nTimeLine)
{
    std::vector<Object> *tl = Timeline(hCont, nTimeLine);
    return tl ? (int)tl->size() : 0;
}

MDOC_API int WINAPI mmsInsertObject(HMMSCONTAINER hCont, int nTimeLine, int nType, HGLOBAL hData,
                                    LPCSTR lpszFile, const MEDIA_ATT *pAtt, int nPos)
{
    (void)hData;  // the caller's block: only the file itself goes into the message
    std::vector<Object> *tl = Timeline(hCont, nTimeLine);
    if (!tl || nType < MDOC_TYPE_IMAGE || nType > MDOC_TYPE_REF || !lpszFile || !*lpszFile ||
        nPos < -1 || nPos > (int)tl->size() || strlen(lpszFile) >= MAX_PATH)
        return -1;
    if (!mdoc::FileExists(lpszFile))
        return -1;
    try {
        Object o;
        o.type = nType;
        o.path = lpszFile;
        CopyAttIn(o, pAtt);
        if (o.src.empty())
            o.src = mdoc::NameOf(o.path);
        if (nPos == -1)
            nPos = (int)tl->size();
        o.frame = nPos;
        tl->insert(tl->begin() + nPos, std::move(o));
        return nPos;
    } catch (...) {
        return -1;
    }
}

MDOC_API BOOL WINAPI mmsDestroyObject(HMMSCONTAINER hCont, int nTimeLine, int nIndex)
{
    if (!Obj(hCont, nTimeLine, nIndex))
        return FALSE;
    std::vector<Object> &tl = hCont->timelines[nTimeLine];
    tl.erase(tl.begin() + nIndex);
    return TRUE;
}

MDOC_API int WINAPI mmsGetObjectType(HMMSCONTAINER hCont, int nTimeLine, int nIndex)
{
    Object *o = Obj(hCont, nTimeLine, nIndex);
    return o ? o->type : 0;
}

MDOC_API BOOL WINAPI mmsGetObjectInfo(HMMSCONTAINER hCont, int nTimeLine, int nIndex, MEDIA_ATT *pAtt)
{
    Object *o = Obj(hCont, nTimeLine, nIndex);
    if (!o || !pAtt)
        return FALSE;
    *pAtt = o->num;
    pAtt->lpszRegion = (o->region >= 0) ? Ptr(hCont->regions[o->region].id) : nullptr;
    pAtt->lpszSrc = const_cast<LPSTR>(o->src.c_str());
    pAtt->lpszAlt = Ptr(o->alt);
    pAtt->lpszContentType = Ptr(o->contentType);
    pAtt->lpszContentId = Ptr(o->contentId);
    return TRUE;
}

MDOC_API BOOL WINAPI mmsSetObjectInfo(HMMSCONTAINER hCont, int nTimeLine, int nIndex, const MEDIA_ATT *pAtt)
{
    Object *o = Obj(hCont, nTimeLine, nIndex);
    if (!o || !pAtt)
        return FALSE;
    try {
        Object copy = *o;
        copy.src.clear();
        CopyAttIn(copy, pAtt);
        if (copy.src.empty())
            copy.src = mdoc::NameOf(copy.path);
        *o = std::move(copy);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

MDOC_API int WINAPI mmsGetObjectFile(HMMSCONTAINER hCont, int nTimeLine, int nIndex, LPSTR lpszPath, int nSize)
{
    Object *o = Obj(hCont, nTimeLine, nIndex);
    if (!o || !lpszPath || nSize <= 0)
        return 0;
    size_t n = o->path.size() < (size_t)nSize - 1 ? o->path.size() : (size_t)nSize - 1;
    memcpy(lpszPath, o->path.data(), n);
    lpszPath[n] = 0;
    return (int)n;
}

MDOC_API int WINAPI mmsGetMediaFrame(HMMSCONTAINER hCont, int nTimeLine, int nIndex)
{
    Object *o = Obj(hCont, nTimeLine, nIndex);
    return o ? o->frame : -1;
}

MDOC_API BOOL WINAPI mmsSetMediaFrame(HMMSCONTAINER hCont, int nTimeLine, int nIndex, int nFrame)
{
    Object *o = Obj(hCont, nTimeLine, nIndex);
    if (!o || nFrame < 0)
        return FALSE;
    o->frame = nFrame;
    return TRUE;
}

MDOC_API int WINAPI mmsGetObjectRegion(HMMSCONTAINER hCont, int nTimeLine, int nIndex)
{
    Object *o = Obj(hCont, nTimeLine, nIndex);
    return o ? o->region : -1;
}

MDOC_API BOOL WINAPI mmsSetObjectRegion(HMMSCONTAINER hCont, int nTimeLine, int nIndex, int nRegion)
{
    Object *o = Obj(hCont, nTimeLine, nIndex);
    if (!o || nRegion < -1 || nRegion >= (int)hCont->regions.size())
        return FALSE;
    o->region = nRegion;
    return TRUE;
}

MDOC_API int WINAPI mmsGetRegionCount(HMMSCONTAINER hCont) { return hCont ? (int)hCont->regions.size() : 0; }

MDOC_API int WINAPI mmsAddRegion(HMMSCONTAINER hCont, const REGION *pRegion)
{
    if (!hCont || !pRegion)
        return -1;
    try {
        mdoc::Region r;
        r.id = Str(pRegion->lpszId);
        r.fit = Str(pRegion->lpszFit);
        r.left = pRegion->wLeft;
        r.top = pRegion->wTop;
        r.width = pRegion->wWidth;
        r.height = pRegion->wHeight;
        r.z = pRegion->bZIndex;
        hCont->regions.push_back(std::move(r));
        return (int)hCont->regions.size() - 1;
    } catch (...) {
        return -1;
    }
}

MDOC_API BOOL WINAPI mmsGetRegion(HMMSCONTAINER hCont, int nRegion, REGION *pRegion)
{
    if (!hCont || !pRegion || nRegion < 0 || nRegion >= (int)hCont->regions.size())
        return FALSE;
    mdoc::Region &r = hCont->regions[nRegion];
    pRegion->lpszId = const_cast<LPSTR>(r.id.c_str());
    pRegion->wLeft = r.left;
    pRegion->wTop = r.top;
    pRegion->wWidth = r.width;
    pRegion->wHeight = r.height;
    pRegion->lpszFit = Ptr(r.fit);
    pRegion->bZIndex = r.z;
    return TRUE;
}

MDOC_API BOOL WINAPI mmsGetRootLayout(HMMSCONTAINER hCont, ROOT_LAYOUT *pLayout)
{
    if (!hCont || !pLayout || !hCont->hasRoot)
        return FALSE;
    pLayout->wWidth = hCont->rootWidth;
    pLayout->wHeight = hCont->rootHeight;
    pLayout->lpszBackground = Ptr(hCont->rootBackground);
    return TRUE;
}

MDOC_API BOOL WINAPI mmsSetRootLayout(HMMSCONTAINER hCont, const ROOT_LAYOUT *pLayout)
{
    if (!hCont)
        return FALSE;
    try {
        if (!pLayout) {
            hCont->hasRoot = false;
            hCont->rootWidth = hCont->rootHeight = 0;
            hCont->rootBackground.clear();
            return TRUE;
        }
        hCont->rootBackground = Str(pLayout->lpszBackground);
        hCont->rootWidth = pLayout->wWidth;
        hCont->rootHeight = pLayout->wHeight;
        hCont->hasRoot = true;
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}
