#include "peripherals/spi.h"

namespace boardsim {

using namespace spi;

namespace {

constexpr uint32_t kControlBits = kCpha.mask() | kCpol.mask() | kMstr.mask() | kLsbf.mask() | kSpie.mask();

}  // namespace

Spi::Spi(unsigned index) : Spi(index, "S" + std::to_string(index)) {}

// Every register 8 bits wide (the user manual's SPI chapter).
Spi::Spi(unsigned index, const std::string& p)
    : Peripheral("SPI" + std::to_string(index), 0x20), prefix_(p),
      spcr_(define(0x00, p + "SPCR", 8).field(kCpha).field(kCpol).field(kMstr).field(kLsbf).field(kSpie)),
      spsr_(define(0x04, p + "SPSR", 8, 0, Access::ReadOnly)
                .field(kAbrt)
                .field(kModf)
                .field(kRovr)
                .field(kWcol)
                .field(kSpif)),
      spccr_(define(0x0C, p + "SPCCR", 8).field(kCounter)),
      spint_(define(0x1C, p + "SPINT", 8).field(kInterruptFlag, Access::WriteOneToClear))
{
    spcr_.writes([this](uint32_t v) { writeControl(v); });
    spsr_.reads([this] { return readStatus(); });
    define(0x08, p + "SPDR", 8)
        .field(kData)
        .reads([this] { return readData(); })
        .writes([this](uint32_t v) { writeData(v); });
    spint_.afterWrite([this](uint32_t) {
        if (!spint_.has(kInterruptFlag)) {
            irq().set(false);
        }
    });
    reset();
}

// The pins themselves go back to their reset state with the machine's pin
// layer, which is reset after the models.
void Spi::resetState()
{
    seenInStatus_ = 0;
    received_ = 0;
    toSend_ = 0;
    mosiLevel_ = false;
    transferring_ = false;
    ++generation_;
    misoChanges_.clear();
    selected_ = false;
    slaveBits_ = 0;
    slaveShift_ = 0;
}

double Spi::sckHz() const
{
    const uint32_t counter = clockCounter();
    return counter >= kMinCounter && counter % 2 == 0 ? board().pclkHz() / counter : 0;
}

void Spi::drive(unsigned signal, bool enabled, bool level)
{
    if (pins_ != nullptr) {
        pins_->drive(signal, enabled, level);
    }
}

bool Spi::inputLevel(unsigned signal)
{
    return pins_ == nullptr || pins_->input(signal);  // unwired: everything idles high
}

uint8_t Spi::bitOf(uint8_t byte, unsigned n) const
{
    return uint8_t((byte >> (kLsbf.in(control()) ? n : 7 - n)) & 1u);
}

void Spi::catchUp()
{
    if (transferring_ && board().now() >= end_) {
        completeMaster();
    }
}

uint32_t Spi::readStatus()
{
    catchUp();
    const uint32_t status = spsr_.value();
    seenInStatus_ = status;
    spsr_.set(status & ~(kRovr.mask() | kAbrt.mask()));  // reading clears these two
    return status;
}

void Spi::touchData()
{
    const uint32_t clearing = seenInStatus_ & (kSpif.mask() | kWcol.mask());
    spsr_.set(spsr_.value() & ~clearing);
    seenInStatus_ &= ~clearing;
}

uint32_t Spi::readData()
{
    catchUp();
    touchData();
    return received_;
}

void Spi::writeData(uint32_t value)
{
    catchUp();
    const uint32_t status = spsr_.value();
    const bool slaveBusy = !master() && selected_ && slaveBits_ > 0;
    const bool unreadSpif = kSpif.in(status) && !kSpif.in(seenInStatus_);
    if (transferring_ || slaveBusy || unreadSpif) {
        spsr_.set(status | kWcol.mask());  // the chip ignores the write
        return;
    }
    touchData();
    const auto byte = uint8_t(kData.get(value));
    if (master()) {
        startMaster(byte);
    } else {
        toSend_ = byte;
    }
}

void Spi::writeControl(uint32_t value)
{
    catchUp();
    const bool wasMaster = master();
    if (kModf.in(seenInStatus_)) {  // SPSR read with MODF, then SPCR written
        spsr_.set(spsr_.value() & ~kModf.mask());
        seenInStatus_ &= ~kModf.mask();
    }
    spcr_.set(value & kControlBits);
    if (!kMstr.in(value)) {
        if (wasMaster) {
            if (transferring_) {
                transferring_ = false;
                ++generation_;
                if (pins_ != nullptr) {
                    pins_->cancelAfter(board().now());
                }
            }
            letGoOfPins();
        }
        selected_ = !inputLevel(kSsel);
        slaveBits_ = 0;
        return;
    }
    if (!wasMaster || !transferring_) {
        takePins();  // (mid-byte, SCK and MOSI are the waveform's)
    }
    if (!inputLevel(kSsel)) {
        modeFault(board().now());  // another master holds SSEL low already
    }
}

void Spi::takePins()
{
    drive(kSck, true, kCpol.in(control()));
    drive(kMosi, true, mosiLevel_);
    drive(kMiso, false, true);
}

void Spi::letGoOfPins()
{
    drive(kSck, false, true);
    drive(kMosi, false, true);
}

void Spi::startMaster(uint8_t byte)
{
    const uint32_t counter = clockCounter();
    if (counter < kMinCounter || counter % 2 != 0) {
        board().fault(prefix_ + "SPDR written in master mode with " + prefix_ + "SPCCR = " + std::to_string(counter) +
                      ": the clock counter must be even and at least 8");
        return;
    }
    if (onTransferStart) {
        onTransferStart(byte);
    }
    const double period = counter / board().pclkHz();
    const double start = board().now();
    const bool idle = kCpol.in(control());
    const bool cpha = kCpha.in(control());
    transferring_ = true;
    end_ = start + 8 * period;
    misoAtStart_ = inputLevel(kMiso);
    misoChanges_.clear();
    for (unsigned n = 0; n < 8; ++n) {
        const double leading = start + (n + 0.5) * period;
        const double trailing = start + (n + 1) * period;
        const bool bit = bitOf(byte, n) != 0;
        // CPHA 0: a bit goes out half a period before the leading edge that
        // samples it; CPHA 1: on the leading edge, sampled on the trailing.
        if (!cpha && bit != mosiLevel_ && pins_ != nullptr) {
            pins_->driveAt(kMosi, start + n * period, bit);
        }
        if (pins_ != nullptr) {
            pins_->driveAt(kSck, leading, !idle);
        }
        if (cpha && bit != mosiLevel_ && pins_ != nullptr) {
            pins_->driveAt(kMosi, leading, bit);
        }
        if (pins_ != nullptr) {
            pins_->driveAt(kSck, trailing, idle);
        }
        mosiLevel_ = bit;
        sampleAt_[n] = cpha ? trailing : leading;
    }
    const uint64_t generation = ++generation_;
    board().scheduleAt(end_, [this, generation] {
        if (generation == generation_) {
            completeMaster();
        }
    });
}

void Spi::completeMaster()
{
    if (pins_ != nullptr) {
        pins_->settle(end_);  // MISO as it was at each sampling edge; the waveform delivered
    }
    if (!transferring_) {
        return;  // a mode fault among the edges ended it
    }
    transferring_ = false;
    uint8_t in = 0;
    for (unsigned n = 0; n < 8; ++n) {
        bool level = misoAtStart_;
        for (const auto& [at, changed] : misoChanges_) {
            if (at <= sampleAt_[n]) {
                level = changed;
            }
        }
        in = uint8_t(in | (unsigned(level) << (kLsbf.in(control()) ? n : 7 - n)));
    }
    finished(in);
}

void Spi::finished(uint8_t received)
{
    const uint32_t status = spsr_.value();
    if (kSpif.in(status)) {
        spsr_.set(status | kRovr.mask());  // the read buffer is full: the new byte is lost
        return;
    }
    received_ = received;
    spsr_.set(status | kSpif.mask());
    interrupt();
}

// SPIF and MODF alike.
void Spi::interrupt()
{
    if (kSpie.in(control())) {
        spint_.set(kInterruptFlag.of(1));
        irq().set(true);
    }
}

void Spi::modeFault(double time)
{
    spsr_.set(spsr_.value() | kModf.mask());
    spcr_.set(control() & ~kMstr.mask());
    if (transferring_) {
        transferring_ = false;
        ++generation_;
        if (pins_ != nullptr) {
            pins_->cancelAfter(time);
        }
    }
    letGoOfPins();
    selected_ = true;  // a slave now, and selected by whoever drives SSEL
    slaveBits_ = 0;
    interrupt();
}

void Spi::inputChanged(unsigned signal, bool level, double time)
{
    if (master()) {
        if (signal == kMiso && transferring_) {
            misoChanges_.emplace_back(time, level);
        }
        if (signal == kSsel && !level) {
            modeFault(time);
        }
        return;
    }
    if (signal == kSsel) {
        slaveSelect(!level, time);
    } else if (signal == kSck) {
        slaveClock(level, time);
    }
}

void Spi::slaveSelect(bool selected, double /*time*/)
{
    if (selected == selected_) {
        return;
    }
    selected_ = selected;
    if (selected) {
        slaveBits_ = 0;
        slaveShift_ = 0;
        drive(kMiso, true, bitOf(toSend_, 0) != 0);
        return;
    }
    if (slaveBits_ > 0) {
        spsr_.set(spsr_.value() | kAbrt.mask());  // the byte under way is lost
    }
    slaveBits_ = 0;
    drive(kMiso, false, true);
}

void Spi::slaveClock(bool level, double /*time*/)
{
    if (!selected_) {
        return;
    }
    const bool leading = level != kCpol.in(control());
    const bool cpha = kCpha.in(control());
    if (leading != cpha) {  // the sampling edge
        const unsigned position = kLsbf.in(control()) ? slaveBits_ : 7 - slaveBits_;
        slaveShift_ = uint8_t(slaveShift_ | (unsigned(inputLevel(kMosi)) << position));
        if (++slaveBits_ == 8) {
            slaveBits_ = 0;
            const uint8_t in = slaveShift_;
            slaveShift_ = 0;
            finished(in);
        }
        return;
    }
    if (cpha || slaveBits_ > 0) {  // the shifting edge: the next bit goes out
        drive(kMiso, true, bitOf(toSend_, slaveBits_) != 0);
    }
}

}  // namespace boardsim
