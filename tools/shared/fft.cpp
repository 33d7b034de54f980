#include "fft.h"

#include <fftw3.h>

#include <algorithm>
#include <memory>
#include <type_traits>

namespace {

struct DestroyPlan {
    void operator()(fftw_plan plan) const { fftw_destroy_plan(plan); }
};
using Plan = std::unique_ptr<std::remove_pointer_t<fftw_plan>, DestroyPlan>;

}  // namespace

std::vector<std::complex<double>> real_dft(const std::vector<double>& samples)
{
    if (samples.empty()) {
        return {};
    }
    const int n = static_cast<int>(samples.size());
    // The planner may scribble over its arrays, so they are filled after it;
    // FFTW_ESTIMATE plans from the size alone, in microseconds, which suits
    // one transform.
    std::vector<double> in(samples.size());
    std::vector<std::complex<double>> out(samples.size() / 2 + 1);
    // std::complex<double> has the layout of fftw_complex (FFTW's manual, "Complex numbers").
    const Plan plan(fftw_plan_dft_r2c_1d(n, in.data(), reinterpret_cast<fftw_complex*>(out.data()), FFTW_ESTIMATE));
    std::copy(samples.begin(), samples.end(), in.begin());
    fftw_execute(plan.get());
    return out;
}
