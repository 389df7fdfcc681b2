#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "redb/storage_backend.h"

namespace snv::test {

// A storage backend that stops at the n-th write, resize or sync (counting from 1): that call
// and every later one fails, as if the process had died right there. With `lose_unsynced`,
// writes since the last sync are held back and at the stop only those to the header survive:
// the worst order in which a disk may have kept them. Syncs are counted either way.
class FaultyBackend final : public redb::StorageBackend {
  public:
    // What the test reads after the database (and this backend) is gone.
    struct Probe {
        std::uint64_t steps = 0;
        std::uint64_t syncs = 0;
        bool stopped = false;
    };
    FaultyBackend(std::unique_ptr<redb::StorageBackend> inner, std::uint64_t stop_at,
                  std::shared_ptr<Probe> probe, bool lose_unsynced = false)
        : inner_(std::move(inner)),
          stop_at_(stop_at),
          probe_(std::move(probe)),
          lose_unsynced_(lose_unsynced) {}

    redb::Result<std::uint64_t> len() override { return inner_->len(); }
    redb::Status read(std::uint64_t offset, std::span<std::uint8_t> out) override {
        if (auto r = inner_->read(offset, out); !r) return r;
        for (auto& [at, bytes] : pending_) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                const std::uint64_t pos = at + i;
                if (pos >= offset && pos < offset + out.size()) out[pos - offset] = bytes[i];
            }
        }
        return {};
    }
    redb::Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        if (!step()) return stop();
        if (!lose_unsynced_) return inner_->write(offset, data);
        pending_.emplace_back(offset, std::vector<std::uint8_t>(data.begin(), data.end()));
        return {};
    }
    redb::Status set_len(std::uint64_t len) override {
        if (!step()) return stop();
        return inner_->set_len(len);
    }
    redb::Status sync_data() override {
        if (!step()) return stop();
        ++probe_->syncs;
        for (auto& [at, bytes] : pending_)
            if (auto r = inner_->write(at, bytes); !r) return r;
        pending_.clear();
        return inner_->sync_data();
    }
    redb::Status close() override { return inner_->close(); }

  private:
    bool step() {
        if (probe_->stopped) return false;
        if (++probe_->steps >= stop_at_) {
            probe_->stopped = true;
            for (auto& [at, bytes] : pending_)
                if (at == 0) (void)inner_->write(at, bytes);
            pending_.clear();
        }
        return !probe_->stopped;
    }
    static redb::Status stop() { return std::unexpected(redb::Error::io("stopped")); }

    std::unique_ptr<redb::StorageBackend> inner_;
    std::uint64_t stop_at_;
    std::shared_ptr<Probe> probe_;
    bool lose_unsynced_;
    std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> pending_;
};

}  // namespace snv::test
