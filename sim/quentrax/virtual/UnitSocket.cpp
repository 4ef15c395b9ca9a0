#include "UnitSocket.h"

#include "LibraryLoggers.h"

namespace omvar::sim::virtual_unit {

UnitSocket::UnitSocket(UnitOptions options, bool plugged) : options_(std::move(options)) {
    if (plugged) {
        unit_ = QuentraxEmulator::attach(options_);
    }
}

UnitSocket::~UnitSocket() {
    // The end of the session, not an unplug: nothing to log.
    std::lock_guard<std::mutex> lock(mutex_);
    if (unit_) {
        QuentraxEmulator::detach(unit_);
    }
}

std::shared_ptr<QuentraxUnit> UnitSocket::unit() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return unit_;
}

bool UnitSocket::plugged() const {
    return unit() != nullptr;
}

bool UnitSocket::frozen() const {
    const auto current = unit();
    return current != nullptr && current->generator_stalled();
}

bool UnitSocket::plugIn() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (unit_) {
            return false;
        }
        unit_ = QuentraxEmulator::attach(options_);
    }
    quentrax::interface_logger()->info("仮想QUENTRAX: USBに差し込まれました");
    return true;
}

bool UnitSocket::unplug() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!unit_) {
            return false;
        }
        QuentraxEmulator::detach(unit_);
        unit_.reset();
    }
    quentrax::interface_logger()->info("仮想QUENTRAX: USBから抜かれました");
    return true;
}

bool UnitSocket::freeze() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!unit_ || unit_->generator_stalled()) {
            return false;
        }
        // A generator-buffer query restarts it, as on the real unit.
        unit_->stall_generator(true, true);
    }
    quentrax::interface_logger()->info(
        "仮想QUENTRAX: ファームウェアが止まりました (符号の生成が止まり、状態の報告は続きます)");
    return true;
}

}  // namespace omvar::sim::virtual_unit
