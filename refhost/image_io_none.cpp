// Image files in a build without libpng and libtiff.
#include "refhost/image_io.h"

namespace refhost {

Document readImage(const std::string& path) {
    throw ImageIoError("'" + path + "': this pihost was built without PNG and TIFF support");
}

void writeImage(const Document&, const std::string& path) {
    throw ImageIoError("'" + path + "': this pihost was built without PNG and TIFF support");
}

}  // namespace refhost
