#include "dialogs/CSheet1.h"

#include "dialogs/ControlIds.h"

namespace korvane::dlg {
namespace {

// The frame as a standard property sheet lays it out before the sheet's own
// initialisation: a row of four buttons under the pages (pixels).
constexpr int kFrameWidth = 400;
constexpr int kFrameHeight = 330;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;

ControlState Button(int id, const char* text, int slot) {
    ControlState button;
    button.id = id;
    button.kind = id == kIdOk ? ControlKind::DefPushButton : ControlKind::PushButton;
    button.text = text;
    const int rowX = kFrameWidth - 4 * (kButtonWidth + kButtonGap);
    button.rect = {rowX + slot * (kButtonWidth + kButtonGap), kFrameHeight - kButtonHeight - 7,
                   kButtonWidth, kButtonHeight};
    return button;
}

}  // namespace

CSheet1::CSheet1(std::string caption, void* parentWindow, DialogView& view)
    : caption_(std::move(caption)),
      parentWindow_(parentWindow),
      view_(view),
      window_{0, 0, kFrameWidth, kFrameHeight} {
    frame_.Add(Button(kIdOk, "OK", 0));
    frame_.Add(Button(kIdCancel, "Cancel", 1));
    frame_.Add(Button(kIdApply, "&Apply", 2));
    frame_.Add(Button(kIdHelp, "Help", 3));
}

void CSheet1::AddPage(PropertyPage& page) {
    pages_.push_back(&page);
}

int CSheet1::DoModal() {
    return view_.RunModal(*this, parentWindow_);
}

const DialogTemplate& CSheet1::PageTemplate(int page) const {
    return pages_.at(static_cast<std::size_t>(page))->Template();
}

ControlModel* CSheet1::PageControls(int page) {
    if (page < 0 || page >= PageCount()) {
        return nullptr;
    }
    PropertyPage& p = Page(page);
    return p.Created() ? &p.Controls() : nullptr;
}

void CSheet1::Start() {
    if (started_) {
        return;
    }
    started_ = true;
    // The framework creates the first page as the sheet appears.
    if (!pages_.empty() && active_ < 0) {
        active_ = 0;
        pages_[0]->Create();
    }
    OnInitDialog();
}

void CSheet1::OnInitDialog() {
    // No Apply (edits reach the camera only through OK) and no Help.
    frame_.SetVisible(kIdApply, false);
    frame_.SetVisible(kIdHelp, false);

    // OK and Cancel move from the row below the pages into a column at the
    // right edge.
    const int w = frame_.Get(kIdOk).rect.width;
    const int h = frame_.Get(kIdOk).rect.height;
    window_.width += w + 15;
    window_.height -= h + 5;
    const int x = window_.width - w - 17;
    frame_.SetRect(kIdOk, {x, 15, w, h});
    frame_.SetRect(kIdCancel, {x, h + 20, w, h});

    ControlState statusBar;
    statusBar.id = kIdStatusBar;
    statusBar.kind = ControlKind::StatusBar;
    statusBar.rect = {0, window_.height - kStatusBarHeight, window_.width, kStatusBarHeight};
    window_.height += kStatusBarHeight;
    statusBar.rect.y += kStatusBarHeight;
    frame_.Add(std::move(statusBar));
}

bool CSheet1::ActivatePage(int page) {
    if (Finished() || page < 0 || page >= PageCount()) {
        return false;
    }
    if (page == active_) {
        return true;
    }
    if (active_ >= 0 && !Page(active_).OnKillActive()) {
        return false;
    }
    active_ = page;
    PropertyPage& next = Page(page);
    if (next.Created()) {
        next.OnSetActive();
    } else {
        next.Create();
    }
    return true;
}

ControlModel* CSheet1::EventTarget(int id) {
    if (id == kIdOk || id == kIdCancel || id == kIdApply || id == kIdHelp) {
        return &frame_;
    }
    ControlModel* page = PageControls(active_);
    return page != nullptr && page->Has(id) ? page : nullptr;
}

void CSheet1::OnTextChanged(int id) {
    Page(active_).OnTextChanged(id);
}

void CSheet1::OnClicked(int id) {
    if (id == kIdOk) {
        PressOk();
    } else if (id == kIdCancel) {
        EndDialog(kResultCancel);
    } else if (id != kIdApply && id != kIdHelp) {
        Page(active_).OnClicked(id);
    }
}

void CSheet1::PressOk() {
    if (active_ >= 0 && !Page(active_).OnKillActive()) {
        return;
    }
    // Pages never shown have nothing to store: their settings stay as they
    // are in the copy.
    for (PropertyPage* page : pages_) {
        if (page->Created()) {
            page->OnOK();
        }
    }
    EndDialog(kResultOk);
}

void CSheet1::SetFrameGrabberValid(bool valid) {
    frameGrabberValid_ = valid;
    FlagsChanged();
}

void CSheet1::SetOtherPagesValid(bool valid) {
    otherPagesValid_ = valid;
    FlagsChanged();
}

void CSheet1::FlagsChanged() {
    const bool allValid = frameGrabberValid_ && otherPagesValid_;
    frame_.SetEnabled(kIdOk, allValid);
    if (allValid) {
        SetStatusText(needsReset ? kResetNotice : "");
    }
}

void CSheet1::ReportError(const PropertyPage& page, const std::string& message) {
    std::string text = page.Title() + ": " + message;
    if (text.size() > kMaxStatusLength) {
        text.resize(kMaxStatusLength);
    }
    SetStatusText(text);
}

std::intptr_t CSheet1::QuerySiblings(std::intptr_t wParam, std::intptr_t lParam) {
    for (PropertyPage* page : pages_) {
        if (!page->Created()) {
            continue;
        }
        if (const std::intptr_t answer = page->OnQuerySiblings(wParam, lParam); answer != 0) {
            return answer;
        }
    }
    return 0;
}

std::string CSheet1::StatusText() const {
    return frame_.Has(kIdStatusBar) ? frame_.GetText(kIdStatusBar) : std::string();
}

void CSheet1::SetStatusText(const std::string& text) {
    if (frame_.Has(kIdStatusBar)) {
        frame_.SetText(kIdStatusBar, text);
    }
}

}  // namespace korvane::dlg
