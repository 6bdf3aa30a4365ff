#pragma once

#include <atomic>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

// An immutable text shared by every event that shows it: a copy is one pointer
// and a reference count, so a list of a million events holds each distinct text
// once. Reads like a const std::string; the empty text holds nothing.
class EventText {
public:
    EventText() noexcept = default;
    EventText(std::string_view text) : block_(text.empty() ? nullptr : new Block(text)) {}
    EventText(const char* text) : EventText(std::string_view(text)) {}
    EventText(const std::string& text) : EventText(std::string_view(text)) {}
    EventText(const EventText& other) noexcept : block_(other.block_) { retain(); }
    EventText(EventText&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    EventText& operator=(const EventText& other) noexcept {
        EventText(other).swap(*this);
        return *this;
    }
    EventText& operator=(EventText&& other) noexcept {
        EventText(std::move(other)).swap(*this);
        return *this;
    }
    ~EventText() { release(); }

    const std::string& str() const noexcept { return block_ ? block_->text : empty_(); }
    operator const std::string&() const noexcept { return str(); }
    operator std::string_view() const noexcept { return str(); }

    bool empty() const noexcept { return block_ == nullptr; }
    size_t size() const noexcept { return str().size(); }
    const char* c_str() const noexcept { return str().c_str(); }
    const char* data() const noexcept { return str().data(); }
    // The same text object, not only equal bytes.
    bool sharedWith(const EventText& other) const noexcept { return block_ == other.block_; }

    void swap(EventText& other) noexcept { std::swap(block_, other.block_); }

    friend bool operator==(const EventText& a, const EventText& b) noexcept {
        return a.block_ == b.block_ || a.str() == b.str();
    }
    friend bool operator==(const EventText& a, const char* b) noexcept {
        return std::string_view(a.str()) == b;
    }
    friend bool operator==(const EventText& a, const std::string& b) noexcept {
        return a.str() == b;
    }
    friend std::ostream& operator<<(std::ostream& out, const EventText& text);

private:
    struct Block {
        explicit Block(std::string_view t) : text(t) {}
        std::atomic<unsigned> references{1};
        const std::string text;
    };

    static const std::string& empty_() noexcept;
    void retain() noexcept {
        if (block_)
            block_->references.fetch_add(1, std::memory_order_relaxed);
    }
    void release() noexcept {
        if (block_ && block_->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete block_;
    }

    Block* block_ = nullptr;
};
