/*
 * What giflib reads of each GIF named on the command line: one line per file,
 *   FILE frames=N duration=MS
 * with the duration the sum of the frames' delays in milliseconds (giflib's graphic control
 * blocks).  Exit code 1 when a file does not decode.  Native only (giflib).
 */
#include <gif_lib.h>
#include <stdio.h>

int main(int argc, char **argv)
{
    int bad = 0;
    for (int i = 1; i < argc; ++i) {
        int err = 0;
        GifFileType *gif = DGifOpenFileName(argv[i], &err);
        if (!gif || DGifSlurp(gif) != GIF_OK) {
            printf("%s error=%s\n", argv[i], GifErrorString(gif ? gif->Error : err));
            if (gif)
                DGifCloseFile(gif, &err);
            bad = 1;
            continue;
        }
        long duration = 0;
        for (int f = 0; f < gif->ImageCount; ++f) {
            GraphicsControlBlock gcb;
            if (DGifSavedExtensionToGCB(gif, f, &gcb) == GIF_OK)
                duration += 10L * gcb.DelayTime;
        }
        printf("%s frames=%d duration=%ld\n", argv[i], gif->ImageCount, duration);
        DGifCloseFile(gif, &err);
    }
    return bad;
}
