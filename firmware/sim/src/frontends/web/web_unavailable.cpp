// boardsim built without cpp-httplib, FFTW, nlohmann-json or npm: --web
// says what it lacks.
#include "core/board_error.h"
#include "frontends/web/web_run.h"

namespace boardsim {

bool webSupported()
{
    return false;
}

int serveWeb(const ElfImage& /*image*/, const Options& /*options*/)
{
    throw BoardError("--web: boardsim was built without its web front end (cpp-httplib, FFTW, nlohmann-json, npm)");
}

}  // namespace boardsim
