#include "known_documents.h"

#include <string>

namespace vornisel::test {

namespace {

Profile device(uint32_t id, const std::string& name) {
    Profile profile;
    profile.id = id;
    profile.name = name;
    profile.device = "hw:CARD=Device" + std::to_string(id);
    profile.driverOutputs = "0,1,2,3";
    profile.outputMap = "4,5,6,7";
    profile.driverInputs = "0,1";
    profile.inputMap = "2,3";
    profile.latencyMode = "Stable";
    return profile;
}

PanelDocument document(int presets, int devices, const std::string& label) {
    PanelDocument doc;
    doc.settings.prefix = 1000;
    doc.presets.clear();
    uint32_t id = 1001;
    for (int p = 0; p < presets; ++p) {
        Preset preset{
            p == 0 ? "default" : "preset-" + std::to_string(p), label + std::to_string(p), {}};
        for (int d = 0; d < devices; ++d)
            preset.clients.push_back(device(id++, label + std::string(40, 'x')));
        doc.presets.push_back(preset);
    }
    doc.active = doc.presets.back().id;
    return doc;
}

}  // namespace

const std::vector<PanelDocument>& knownDocuments() {
    static const std::vector<PanelDocument> documents = {
        document(1, 0, "small"),
        document(2, 8, "middle"),
        document(8, 8, "large"),
    };
    return documents;
}

}  // namespace vornisel::test
