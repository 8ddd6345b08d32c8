#include "html_page.h"

#include <ctype.h>
#include <stdio.h>

#include <windows.h>

#include "fileio.h"

namespace preview {

namespace {

std::string Px(int v) { return std::to_string(v) + "px"; }

std::string Box(const Rect &r)
{
    return "left:" + Px(r.x) + ";top:" + Px(r.y) + ";width:" + Px(r.w) + ";height:" + Px(r.h);
}

/* A colour of the presentation, used only when it is plainly a colour. */
std::string SafeColour(const std::string &c)
{
    if (c.empty() || c.size() > 20)
        return "#ffffff";
    for (char ch : c)
        if (!isalnum((unsigned char)ch) && ch != '#')
            return "#ffffff";
    return c;
}

const char kStyle[] =
    "body{font-family:'DejaVu Sans',sans-serif;background:#e8e8e8;color:#202020;margin:16px}"
    "#phone{position:relative;overflow:hidden;border:1px solid #707070;margin:8px 0}"
    ".slide{position:absolute;left:0;top:0;width:100%;height:100%;display:none}"
    ".slide.on{display:block}"
    ".slide img{position:absolute;object-fit:contain}"
    ".slide .text{position:absolute;overflow:hidden;white-space:pre-wrap;font-size:13px;padding:2px;box-sizing:border-box}"
    ".slide .missing{position:absolute;background:#f4e4e4;border:1px solid #b03030;color:#801010;font-size:12px;"
    "overflow:hidden;padding:2px;box-sizing:border-box}"
    "#controls button{margin-right:6px}"
    "table{border-collapse:collapse;margin-top:12px;background:#fff}"
    "td,th{border:1px solid #b0b0b0;padding:2px 6px;font-size:13px;text-align:left}"
    ".warn{color:#a02020}";

/* The player: one slide on at a time; "play" walks the slides by their times and plays each
 * slide's sound. */
const char kScript[] =
    "(function(){\n"
    "var slides=document.querySelectorAll('.slide'),at=0,timer=null,playing=false;\n"
    "var where=document.getElementById('where'),cap=document.getElementById('caption'),"
    "play=document.getElementById('play');\n"
    "function show(i){\n"
    "  if(!slides.length)return;\n"
    "  at=(i+slides.length)%slides.length;\n"
    "  for(var k=0;k<slides.length;k++){slides[k].classList.toggle('on',k===at);"
    "var a=slides[k].querySelector('audio');if(a){a.pause();a.currentTime=0;}}\n"
    "  where.textContent=(at+1)+' / '+slides.length;\n"
    "  cap.textContent=slides[at].getAttribute('data-caption');\n"
    "  if(timer){clearTimeout(timer);timer=null;}\n"
    "  if(playing){var a=slides[at].querySelector('audio');if(a){var p=a.play();if(p&&p.catch)p.catch(function(){});}\n"
    "    timer=setTimeout(function(){if(at+1<slides.length)show(at+1);else stop();},"
    "parseInt(slides[at].getAttribute('data-dur'),10)||5000);}\n"
    "}\n"
    "function stop(){playing=false;play.textContent='play';if(timer){clearTimeout(timer);timer=null;}\n"
    "  for(var k=0;k<slides.length;k++){var a=slides[k].querySelector('audio');if(a)a.pause();}}\n"
    "play.onclick=function(){if(playing){stop();return;}playing=true;play.textContent='pause';"
    "show(at+1<slides.length||!slides.length?at:0);};\n"
    "document.getElementById('next').onclick=function(){show(at+1);};\n"
    "document.getElementById('prev').onclick=function(){show(at-1);};\n"
    "show(0);\n"
    "})();\n";

std::string Seconds(int ms)
{
    char b[32];
    snprintf(b, sizeof b, "%.1f s", ms / 1000.0);
    return b;
}

bool WriteText(const std::string &path, const std::string &text)
{
    FIO_FILE *f = FioCreateAtomic(path.c_str());
    if (!f)
        return false;
    if (FioWrite(f, text.data(), text.size()) != text.size()) {
        DWORD why = FioLastError(f);
        FioClose(f);
        SetLastError(why);
        return false;
    }
    return FioCommit(f) != 0;
}

}  // namespace

std::string HtmlEscape(const std::string &s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string HtmlPage(const Presentation &p)
{
    std::string h;
    h += "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>Message preview</title>\n<style>";
    h += kStyle;
    h += "</style></head>\n<body>\n<h1>Message preview</h1>\n<p id=\"summary\">" + std::to_string(p.slides.size()) +
         (p.slides.size() == 1 ? " slide" : " slides") + ", screen " + std::to_string(p.width) + " x " +
         std::to_string(p.height) + (p.fromSmil ? "" : " (no presentation: one slide per picture)") + "</p>\n";
    for (const std::string &m : p.missing)
        h += "<p class=\"warn\">missing: " + HtmlEscape(m) + " (named by the presentation, not in the message)</p>\n";
    for (const std::string &n : p.notes)
        h += "<p class=\"warn\">" + HtmlEscape(n) + "</p>\n";
    h += "<div id=\"phone\" style=\"width:" + Px(p.width) + ";height:" + Px(p.height) +
         ";background:" + SafeColour(p.background) + "\">\n";
    for (size_t i = 0; i < p.slides.size(); ++i) {
        const Slide &s = p.slides[i];
        std::string caption = "Slide " + std::to_string(i + 1) + " \xC2\xB7 " + Seconds(s.durationMs) + " \xC2\xB7 " +
                              (!s.hasAudio ? std::string("no sound")
                               : s.audio.missing ? "sound missing: " + s.audio.src
                                                 : "\xE2\x99\xAA " + s.audio.src);
        h += "<div class=\"slide\" data-dur=\"" + std::to_string(s.durationMs) + "\" data-caption=\"" +
             HtmlEscape(caption) + "\">\n";
        if (s.hasImage) {
            if (s.image.missing || s.image.part < 0)
                h += " <div class=\"missing\" style=\"" + Box(s.image.region) + "\">missing picture: " +
                     HtmlEscape(s.image.src) + "</div>\n";
            else
                h += " <img src=\"" + HtmlEscape(p.parts[s.image.part].file) + "\" alt=\"" + HtmlEscape(s.image.src) +
                     "\" style=\"" + Box(s.image.region) + "\">\n";
        }
        if (s.hasText) {
            if (s.text.missing || s.text.part < 0)
                h += " <div class=\"missing\" style=\"" + Box(s.text.region) + "\">missing text: " +
                     HtmlEscape(s.text.src) + "</div>\n";
            else
                h += " <div class=\"text\" style=\"" + Box(s.text.region) + "\">" + HtmlEscape(s.text8) + "</div>\n";
        }
        if (s.hasAudio && !s.audio.missing && s.audio.part >= 0)
            h += " <audio src=\"" + HtmlEscape(p.parts[s.audio.part].file) + "\" preload=\"auto\"></audio>\n";
        h += "</div>\n";
    }
    h += "</div>\n<div id=\"controls\"><button id=\"prev\">previous</button><button id=\"play\">play</button>"
         "<button id=\"next\">next</button><span id=\"where\"></span></div>\n<p id=\"caption\"></p>\n";
    h += "<h2>Parts</h2>\n<table id=\"parts\"><tr><th>#</th><th>name</th><th>type</th><th>content id</th>"
         "<th>octets</th><th>file</th><th>used</th></tr>\n";
    for (size_t i = 0; i < p.parts.size(); ++i) {
        const Part &pt = p.parts[i];
        std::string used = pt.start ? "the presentation" : pt.usedBy >= 0 ? "slide " + std::to_string(pt.usedBy + 1)
                                                                            : "<span class=\"warn\">unused</span>";
        std::string file = pt.file.empty() ? std::string()
                                           : "<a href=\"" + HtmlEscape(pt.file) + "\">" + HtmlEscape(pt.file) + "</a>";
        std::string type = pt.type + (pt.charset.empty() ? "" : "; charset=" + pt.charset);
        h += "<tr><td>" + std::to_string(i) + "</td><td>" + HtmlEscape(pt.name) + "</td><td>" + HtmlEscape(type) +
             "</td><td>" + HtmlEscape(pt.id) + "</td><td>" + std::to_string(pt.length) + "</td><td>" + file +
             "</td><td>" + used + "</td></tr>\n";
    }
    h += "</table>\n<script>\n";
    h += kScript;
    h += "</script>\n</body></html>\n";
    return h;
}

bool WriteHtmlPreview(const std::string &messagePath, const std::string &outFolder, HtmlResult *out,
                      std::string *error)
{
    DWORD attrs = GetFileAttributesA(outFolder.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        if (!CreateDirectoryA(outFolder.c_str(), nullptr)) {
            *error = "cannot make the folder " + outFolder;
            return false;
        }
    } else if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_DIRECTORY);
        *error = outFolder + " is a file, not a folder";
        return false;
    }
    if (!Load(messagePath, outFolder, &out->presentation, error))
        return false;
    out->indexPath = Join(outFolder, "index.html");
    if (FioSameFile(messagePath.c_str(), out->indexPath.c_str()) == 1) {
        SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);
        *error = "cannot write " + out->indexPath;
        return false;
    }
    if (!WriteText(out->indexPath, HtmlPage(out->presentation))) {
        *error = "cannot write " + out->indexPath;
        return false;
    }
    return true;
}

}  // namespace preview
