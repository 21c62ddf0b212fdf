#include "protocol/model_rules.h"

#include <algorithm>

namespace fenno {

namespace {

struct TemplateRule {
    const char* model;
    int templateId;
};

constexpr TemplateRule kInputPageTemplates[] = {
    {"Arven", 527},  {"Belto", 528}, {"Cirra", 538}, {"Dunmo", 538},
    {"Elsk", 529},   {"Fenno", 530}, {"Gresk", 532}, {"Holvar", 534},
    {"Istren", 537}, {"Jasko", 535}, {"Kelmo", 536}, {"Lunra", 536},
    {"Mervo", 536},  {"Nusk", 539},  {"Orvel", 540}, {"Pellin", 541},
};

constexpr std::string_view kSettingsHidingModels[] = {"Belto", "Elsk",   "Cirra",
                                                      "Dunmo", "Pellin", "Jasko"};
constexpr std::array<int, 2> kSettingsHiddenControls{1186, 1049};

constexpr std::string_view kThirdMicModel = "Pellin";

constexpr std::string_view kExtraControlsModel = "Arven";
constexpr int kExtraControlsVersion = 20;
constexpr std::array<int, 3> kInputPageExtra{1248, 1049, 1272};

// This model has no home-control module, so retrying cannot help.
constexpr std::string_view kNoHomeControlModel = "Holvar";
constexpr const char* kNoHomeControlText[2] = {"同步失败！该机型无此功能！", "Please don't try."};
constexpr const char* kRetryLaterText[2] = {"同步失败！可能智能模块未就绪，请稍等片刻重试！",
                                            "Please try again later."};

template <typename Range> bool Contains(const Range& r, std::string_view model) {
    return std::find(std::begin(r), std::end(r), model) != std::end(r);
}

} // namespace

int InputPageTemplate(std::string_view model, uint8_t boardCode0) {
    if (boardCode0 == kInputBoardMarker) return kInputPageBoardTemplate;
    for (const TemplateRule& r : kInputPageTemplates)
        if (model == r.model) return r.templateId;
    return kInputPageDefaultTemplate;
}

std::span<const int> MachineSettingsHiddenControls(std::string_view model) {
    if (Contains(kSettingsHidingModels, model)) return kSettingsHiddenControls;
    return {};
}

bool HasThirdMic(std::string_view model) {
    return model == kThirdMicModel;
}

std::span<const int> InputPageExtraControls(std::string_view model, int commandVersion) {
    if (model == kExtraControlsModel && commandVersion == kExtraControlsVersion)
        return kInputPageExtra;
    return {};
}

const char* ScenesSyncFailedText(std::string_view model, int language) {
    const int lang = language == 1 ? 1 : 0;
    return model == kNoHomeControlModel ? kNoHomeControlText[lang] : kRetryLaterText[lang];
}

} // namespace fenno
