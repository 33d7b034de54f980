#include "peripherals/peripheral.h"

#include <algorithm>

namespace boardsim {

const RegisterSpec* Peripheral::findRegister(uint32_t offset) const
{
    const std::vector<RegisterSpec>& table = registers();
    const auto found =
        std::find_if(table.begin(), table.end(), [offset](const RegisterSpec& r) { return r.offset == offset; });
    return found == table.end() ? nullptr : &*found;
}

std::string Peripheral::registerName(uint32_t offset, bool /*write*/) const
{
    const RegisterSpec* r = findRegister(offset);
    return r != nullptr ? r->name : std::string(name()) + "+" + std::to_string(offset);
}

BusResult Peripheral::check(uint32_t offset, unsigned size, bool write) const
{
    const RegisterSpec* r = findRegister(offset);
    if (r == nullptr) {
        return BusResult::refuse(std::string("no such ") + name() + " register");
    }
    if (size > 4 || (accessWidths() & (1u << size)) == 0) {
        std::string widths;
        for (unsigned bytes : {1u, 2u, 4u}) {
            if ((accessWidths() & (1u << bytes)) != 0) {
                widths += (widths.empty() ? "" : " or ") + std::to_string(bytes * 8) + "-bit";
            }
        }
        return BusResult::refuse(std::string(name()) + " registers take " + widths + " accesses only");
    }
    if (write && r->access == Access::ReadOnly) {
        return BusResult::refuse(std::string(r->name) + " is read-only");
    }
    if (!write && r->access == Access::WriteOnly) {
        return BusResult::refuse(std::string(r->name) + " is write-only");
    }
    return BusResult::done();
}

BusResult Peripheral::read(uint32_t offset, unsigned size)
{
    BusResult result = check(offset, size, false);
    if (result.ok) {
        result.value = readRegister(offset);
    }
    return result;
}

BusResult Peripheral::write(uint32_t offset, unsigned size, uint32_t value)
{
    BusResult result = check(offset, size, true);
    if (result.ok) {
        writeRegister(offset, value);
    }
    return result;
}

}  // namespace boardsim
