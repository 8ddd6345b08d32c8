/*
 * SMIL presentation of a container, one time container per slide.
 *
 * Slide model: timeline 0 holds the slides' main objects (image or audio), timeline 1 at most
 * one companion per slide whose media frame equals the main object's; timeline 1 is in
 * ascending frame order, so the companion search stops at the first larger frame.  All slides
 * share the region "Image", taken from the first non-audio main object that has a region.
 */
#include <string.h>

#include "fileio.h"
#include "message.h"

namespace {

enum { kAudio = 3 };
const char kRegionId[] = "Image";

/* The record a slide's object gets: copies of the source's strings and numbers, with the given
 * region, durations left zero, and the begin offset only for main objects. */
void CopyMedia(const MEDIA_ATT &src, MEDIA_ATT &dst, bool mainObject)
{
    memset(&dst, 0, sizeof dst);
    dst.lpszRegion = mainObject ? AllocSMILStr(kRegionId) : nullptr;
    dst.lpszSrc = AllocSMILStr(src.lpszSrc);
    dst.lpszAlt = AllocSMILStr(src.lpszAlt);
    dst.lpszContentType = AllocSMILStr(src.lpszContentType);
    dst.lpszContentId = AllocSMILStr(src.lpszContentId);
    dst.wRepeat = src.wRepeat;
    dst.dwBegin = mainObject ? src.dwBegin : 0;
    dst.dwColor = src.dwColor;
    dst.bFill = src.bFill;
    dst.dwClipBegin = src.dwClipBegin;
    dst.dwClipEnd = src.dwClipEnd;
}

DWORD DurationOf(const MEDIA_ATT &a) { return a.dwDur ? a.dwDur : a.dwEnd; }

}  // namespace

int BuildSmilFromContainer(HMMSCONTAINER hCont, LPCSTR lpszPath)
{
    if (!hCont)
        return 0;
    int timelines = mmsGetTimeLineCount(hCont);
    // The presentation never takes the place of one of its own media files.
    for (int t = 0; lpszPath && t < timelines; t++) {
        for (int i = 0; i < mmsGetObjectCountByTimeLine(hCont, t); i++) {
            char media[MAX_PATH];
            if (mmsGetObjectFile(hCont, t, i, media, sizeof media) > 0 && FioSameFile(media, lpszPath) == 1) {
                SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);
                return 0;
            }
        }
    }
    HSMIL doc = SMIL_Create();
    if (!doc)
        return 0;

    ROOT_LAYOUT root;
    memset(&root, 0, sizeof root);
    ROOT_LAYOUT set;
    memset(&set, 0, sizeof set);
    if (mmsGetRootLayout(hCont, &root)) {
        set.wWidth = root.wWidth;
        set.wHeight = root.wHeight;
        set.lpszBackground = AllocSMILStr(root.lpszBackground);
    }
    SMIL_SetRootLayout(doc, &set);

    int slides = 0;
    for (int t = 0; t < timelines; t++) {
        int n = mmsGetObjectCountByTimeLine(hCont, t);
        if (n > slides)
            slides = n;
    }

    DWORD duration = 0;
    bool regionDone = false;
    for (int i = 0; i < slides; i++) {
        HSMILTC tc = SMIL_CreateTimeContainer(MDOC_TC_PAR);
        if (!tc || !SMIL_InsertTimeContainer(doc, tc, -1)) {
            SMIL_Destory(doc);  // no memory: no half-made presentation
            return 0;
        }
        int frame = mmsGetMediaFrame(hCont, 0, i);
        int type = mmsGetObjectType(hCont, 0, i);

        MEDIA_ATT src, rec;
        memset(&src, 0, sizeof src);
        if (mmsGetObjectInfo(hCont, 0, i, &src)) {
            CopyMedia(src, rec, true);
            duration = DurationOf(src);
            SMIL_TC_InsertMediaObject(tc, type, &rec, -1);
        }

        if (type != kAudio && !regionDone) {
            int r = mmsGetObjectRegion(hCont, 0, i);
            if (r != -1) {
                REGION reg;
                memset(&reg, 0, sizeof reg);
                mmsGetRegion(hCont, r, &reg);
                REGION out;
                memset(&out, 0, sizeof out);
                out.lpszId = AllocSMILStr(kRegionId);
                out.wLeft = reg.wLeft;
                out.wTop = reg.wTop;
                out.wWidth = reg.wWidth;
                out.wHeight = reg.wHeight;
                out.lpszFit = AllocSMILStr(reg.lpszFit);
                out.bZIndex = reg.bZIndex;
                SMIL_SetRegion(doc, &out, -1);
                regionDone = true;
            }
        }

        int companions = mmsGetObjectCountByTimeLine(hCont, 1);
        for (int j = 0; j < companions; j++) {
            int f = mmsGetMediaFrame(hCont, 1, j);
            if (f == frame) {
                MEDIA_ATT csrc, crec;
                memset(&csrc, 0, sizeof csrc);
                if (mmsGetObjectInfo(hCont, 1, j, &csrc)) {
                    CopyMedia(csrc, crec, false);
                    duration = DurationOf(csrc);
                    SMIL_TC_InsertMediaObject(tc, mmsGetObjectType(hCont, 1, j), &crec, -1);
                }
                break;
            }
            if (f > frame)
                break;
        }

        TIMECONTAINER_ATT att;
        memset(&att, 0, sizeof att);
        SMIL_GetTimeContainerAtt(tc, &att);
        att.dwDur = duration;
        SMIL_SetTimeContainerAtt(tc, &att);
    }

    // A presentation that could not be written is a failure, not a success.
    BOOL saved = SMIL_SaveToFile(doc, lpszPath);
    SMIL_Destory(doc);
    return saved ? 1 : 0;
}
