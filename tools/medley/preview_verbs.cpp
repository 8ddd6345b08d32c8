/* medley preview MSG.dat OUT.png | OUTDIR --html: what a message shows, before it is sent. */
#include <stdio.h>

#include <filesystem>
#include <memory>

#include <windows.h>

#include "html_page.h"
#include "medley.h"
#include "scratch.h"
#include "preview_model.h"
#include "storyboard.h"

namespace fs = std::filesystem;

namespace {

/* A fresh folder for the staged parts of a storyboard, removed when the object goes. */
class StageFolder {
public:
    bool Make()
    {
        m_path = scratch::MakeFolder("medley-preview-");
        return !m_path.empty();
    }
    ~StageFolder() { scratch::RemoveFolder(m_path); }
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

void Report(const preview::Presentation &p)
{
    printf("%zu slide%s, screen %d x %d%s\n", p.slides.size(), p.slides.size() == 1 ? "" : "s", p.width, p.height,
           p.fromSmil ? "" : " (no presentation: one slide per picture)");
    for (const std::string &m : p.missing)
        printf("missing: %s (named by the presentation, not in the message)\n", medley::Printable(m).c_str());
    for (int i : p.unused)
        printf("unused: %s (%s, no slide shows or plays it)\n",
               medley::Printable(p.parts[i].name.empty() ? p.parts[i].id : p.parts[i].name).c_str(),
               medley::Printable(p.parts[i].type).c_str());
    for (const std::string &n : p.notes)
        printf("note: %s\n", medley::Printable(n).c_str());
}

void Setup(CLI::App &app)
{
    auto *cmd = app.add_subcommand("preview", "Show what a message will look like: a storyboard picture (PNG) of its "
                                              "slides, or with --html a web page that plays them");
    auto msg = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    auto html = std::make_shared<bool>(false);
    auto most = std::make_shared<int>(preview::kMaxCells);
    cmd->add_option("message", *msg, "Message file (.dat)")->required();
    cmd->add_option("out", *out, "PNG file to write, or with --html the folder for index.html and the parts")->required();
    cmd->add_flag("--html", *html, "Write a web page (index.html and the parts) into the folder OUT");
    cmd->add_option("--most", *most, "Most slides drawn in the storyboard (the rest are counted)")->check(CLI::Range(1, 1000));
    cmd->callback([=] {
        if (*html) {
            preview::HtmlResult r;
            std::string err;
            if (!preview::WriteHtmlPreview(*msg, *out, &r, &err)) {
                medley::FailWhy(err);
                return;
            }
            Report(r.presentation);
            printf("web page: %s\n", medley::Printable(r.indexPath).c_str());
            return;
        }
        preview::Face face;
        std::string err;
        if (!face.Load(&err)) {
            medley::Fail(err);
            return;
        }
        StageFolder stage;
        if (!stage.Make()) {
            medley::FailWhy("cannot make a temporary folder");
            return;
        }
        preview::Presentation p;
        if (!preview::Load(*msg, stage.path(), &p, &err)) {
            medley::FailWhy(err);
            return;
        }
        preview::Storyboard board;
        if (!preview::DrawStoryboard(p, stage.path(), face, &board, &err, *most)) {
            medley::Fail(err);
            return;
        }
        if (!preview::WritePng(board.canvas, *out, &err)) {
            medley::FailWhy(err);
            return;
        }
        Report(p);
        printf("storyboard: %s (%d x %d, %zu cell%s%s)\n", medley::Printable(*out).c_str(), board.canvas.w,
               board.canvas.h, board.cells.size(), board.cells.size() == 1 ? "" : "s",
               board.more ? (", and " + std::to_string(board.more) + " more").c_str() : "");
    });
}

MEDLEY_VERBS("preview", Setup);

}  // namespace
