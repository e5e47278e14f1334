#include "dialogs/DlgGenerateLUT.h"

#include "dialogs/ControlIds.h"
#include "driver/DriverLog.h"
#include "settings/LutGenerator.h"

namespace korvane::dlg {

using namespace lut;

DlgGenerateLUT::DlgGenerateLUT(CameraSettings& settings, DialogView& view)
    : settings_(settings), view_(view), controls_(GenerateLutTemplate()) {}

int DlgGenerateLUT::DoModal(void* parentWindow) {
    return view_.RunModal(*this, parentWindow);
}

std::string DlgGenerateLUT::Caption() const {
    return GenerateLutTemplate().caption;
}

const DialogTemplate& DlgGenerateLUT::PageTemplate(int) const {
    return GenerateLutTemplate();
}

void DlgGenerateLUT::Start() {
    if (!started_) {
        started_ = true;
        OnInitDialog();
    }
}

void DlgGenerateLUT::OnInitDialog() {
    controls_.SetText(kFormula, kLutFormulaText);
    DoDataExchange(Exchange::Load);
    UpdateRangeState();
}

void DlgGenerateLUT::DoDataExchange(Exchange direction) {
    DdxParamInt(controls_, direction, kMinpix, settings_.LUTGEN_minpix.value);
    DdxParamInt(controls_, direction, kMaxpix, settings_.LUTGEN_maxpix.value);
    DdxParamInt(controls_, direction, kSteepness, settings_.LUTGEN_steepness.value);
}

ControlModel* DlgGenerateLUT::EventTarget(int id) {
    return controls_.Has(id) ? &controls_ : nullptr;
}

void DlgGenerateLUT::OnTextChanged(int id) {
    if (id == kMinpix || id == kMaxpix || id == kSteepness) {
        OnRangeEditChange();
    }
}

void DlgGenerateLUT::OnClicked(int id) {
    if (id == kIdOk) {
        GenerateLutFile();
    } else if (id == kIdCancel) {
        EndDialog(kResultCancel);
    }
}

void DlgGenerateLUT::OnRangeEditChange() {
    DoDataExchange(Exchange::Save);
    UpdateRangeState();
}

void DlgGenerateLUT::UpdateRangeState() {
    const LutRangeState state = EvaluateLutRange(settings_);
    controls_.SetText(kMinpixRange, state.minpixRange);
    controls_.SetText(kMaxpixRange, state.maxpixRange);
    controls_.SetText(kSteepnessRange, state.steepnessRange);
    controls_.SetEnabled(kIdOk, state.valid);
}

void DlgGenerateLUT::GenerateLutFile() {
    DoDataExchange(Exchange::Save);
    FileDialogOptions options;
    options.save = true;
    options.defaultExtension = "csv";
    options.initialFile = "LUT table";
    options.hideReadOnly = true;
    options.promptOverwrite = true;
    options.filter = "LUT table (*.csv)|*.csv||";
    options.title = "Select LUT file";
    options.initialFolder = "c:";
    const int lsb = settings_.LUTGEN_minpix.value;
    const int msb = settings_.LUTGEN_maxpix.value;
    const int steepness = settings_.LUTGEN_steepness.value;
    if (const std::optional<std::string> path = view_.ChooseFile(options)) {
        // The user is not told; the log keeps the reason.
        if (!WriteLutFile(*path, lsb, msb, steepness)) {
            KLOG(kProgress, "DlgGenerateLUT::GenerateLutFile: WARNING: LUT file %s not written\n",
                 path->c_str());
        }
    }
    DoDataExchange(Exchange::Save);
    EndDialog(kResultOk);
}

}  // namespace korvane::dlg
