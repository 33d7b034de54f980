#include "frontends/web/web_assets.h"

namespace boardsim {

// The table web.cmake makes from the page's files.
extern const WebAsset kWebAssets[];
extern const size_t kWebAssetCount;

const WebAsset* findWebAsset(const std::string& path)
{
    for (size_t i = 0; i < kWebAssetCount; ++i) {
        if (path == kWebAssets[i].path) {
            return &kWebAssets[i];
        }
    }
    return nullptr;
}

}  // namespace boardsim
