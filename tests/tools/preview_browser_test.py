#!/usr/bin/env python3
"""The preview page in a real browser: headless Chromium loads the page the demo's received
message gives, a check script of this test (added to a copy of the page, never to the product)
confirms every picture loaded and counts the slides, and a screenshot must show the first
slide's picture where the page put it.

usage: preview_browser_test.py MEDLEY CHROMIUM WORKDIR
"""
import os
import re
import shutil
import subprocess
import sys

from PIL import Image, ImageStat

CHECK = """<script>
window.addEventListener('load', function () {
  var imgs = document.querySelectorAll('img'), ok = 0;
  for (var i = 0; i < imgs.length; i++) if (imgs[i].complete && imgs[i].naturalWidth > 0) ok++;
  var r = imgs.length ? imgs[0].getBoundingClientRect() : {left: 0, top: 0, width: 0, height: 0};
  var first = imgs.length ? imgs[0].getAttribute('src') : '';
  document.title = 'RESULT imgs=' + ok + '/' + imgs.length + ' slides=' + document.querySelectorAll('.slide').length +
    ' shown=' + document.querySelectorAll('.slide.on').length + ' first=' + first +
    ' rect=' + Math.round(r.left) + ',' + Math.round(r.top) + ',' + Math.round(r.width) + ',' + Math.round(r.height);
});
</script>
"""


def need(ok, why):
    if not ok:
        print("FAILED: " + why)
        sys.exit(1)


def chromium(browser, *args):
    cmd = [browser, "--headless", "--no-sandbox", "--disable-gpu", "--allow-file-access-from-files",
           "--force-device-scale-factor=1", "--hide-scrollbars", "--window-size=800,900",
           "--virtual-time-budget=3000"] + list(args)
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120, text=True).stdout


def main():
    medley, browser, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    demo = subprocess.run([medley, "demo", "--work", os.path.join(work, "demo")], stdout=subprocess.PIPE, text=True)
    need(demo.returncode == 0, "medley demo: " + demo.stdout[-500:])
    msg = os.path.join(work, "demo", "phone-inbox", "message.dat")
    out = os.path.join(work, "page")
    run = subprocess.run([medley, "preview", msg, out, "--html"], stdout=subprocess.PIPE, text=True)
    need(run.returncode == 0, "medley preview --html failed")
    slides = int(re.search(r"^(\d+) slides?", run.stdout, re.M).group(1))

    page = open(os.path.join(out, "index.html"), encoding="utf-8").read()
    check = os.path.join(out, "check.html")
    with open(check, "w", encoding="utf-8") as f:
        f.write(page.replace("</body>", CHECK + "</body>"))
    url = "file://" + os.path.abspath(check)

    dom = chromium(browser, "--dump-dom", url)
    m = re.search(r"RESULT imgs=(\d+)/(\d+) slides=(\d+) shown=(\d+) first=(\S*) rect=(\d+),(\d+),(\d+),(\d+)", dom)
    need(m, "the check script did not run (no result in the page's title)")
    loaded, imgs, counted, shown = (int(m.group(i)) for i in range(1, 5))
    first = m.group(5)
    left, top, width, height = (int(m.group(i)) for i in range(6, 10))
    print("browser: %d of %d pictures loaded, %d slides (%d shown), first picture %s at %d,%d %dx%d"
          % (loaded, imgs, counted, shown, first, left, top, width, height))
    need(imgs > 0 and loaded == imgs, "not every picture loaded")
    need(counted == slides and shown == 1, "the page has %d slides (%d shown), medley reported %d" % (counted, shown, slides))

    shot = os.path.join(work, "screenshot.png")
    chromium(browser, "--screenshot=" + shot, url)
    need(os.path.exists(shot), "no screenshot")
    # Where the page shows the first picture: fitted into its box, centred.
    src = Image.open(os.path.join(out, first)).convert("RGB")
    scale = min(width / src.width, height / src.height)
    w, h = int(src.width * scale), int(src.height * scale)
    x, y = left + (width - w) // 2, top + (height - h) // 2
    seen = Image.open(shot).convert("RGB").crop((x + 2, y + 2, x + w - 2, y + h - 2))
    want = src.resize((w, h)).crop((2, 2, w - 2, h - 2))
    a, b = ImageStat.Stat(seen), ImageStat.Stat(want)
    diff = max(abs(p - q) for p, q in zip(a.mean, b.mean))
    spread = max(a.stddev)
    print("screenshot: picture region mean %s, source mean %s, largest difference %.1f, spread %.1f"
          % ([round(v) for v in a.mean], [round(v) for v in b.mean], diff, spread))
    need(spread >= 10, "the picture region of the screenshot is blank")
    need(diff <= 12, "the screenshot does not show the first slide's picture there")
    print("preview page OK in the browser")


if __name__ == "__main__":
    main()
