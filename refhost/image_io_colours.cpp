// The colours of image files: Lab documents in the formats without Lab, and
// the ICC profiles that files embed.
#include "refhost/convert.h"
#include "refhost/image_io_pnm.h"

namespace refhost {
namespace imageio {

std::optional<FileColours> labWrittenIn(const Document& doc, const std::string& lowerExt, const FileColours& colours) {
    if (baseModeOf(doc.imageMode()) != plugInModeLabColor) return std::nullopt;
    if (lowerExt == "png" && (colours.baseMode == plugInModeGrayScale || colours.baseMode == plugInModeRGBColor))
        return colours;
    if (lowerExt == "png" || lowerExt == "ppm") return FileColours{};
    if (lowerExt == "pgm") return FileColours{plugInModeGrayScale, {}};
    return std::nullopt;
}

Document labInto(const Document& doc, const std::string& path, const FileColours& device) {
    try {
        return convertDocument(doc, device.baseMode, doc.depth(), device.iccProfile);
    } catch (const std::invalid_argument& e) {
        fail(path, std::string("the Lab document does not go into the file's colours: ") + e.what());
    }
}

void checkEmbeddedProfile(const std::string& path, const std::vector<uint8_t>& iccProfile, int16 baseMode) {
    try {
        checkIccProfile(iccProfile, baseMode);
    } catch (const std::invalid_argument& e) {
        fail(path, e.what());
    }
}

bool embedsProfile(const Document& doc, const FileColours& colours) {
    return !colours.iccProfile.empty() && baseModeOf(doc.imageMode()) == colours.baseMode && doc.depth() != 32;
}

}  // namespace imageio

void checkColoursWritable(const Document& doc, const std::string& path, const FileColours& colours) {
    if (const std::optional<FileColours> device = imageio::labWrittenIn(doc, imageio::lowerExtension(path), colours))
        imageio::labInto(Document(doc.imageMode(), 1, 1), path, *device);
}

}  // namespace refhost
