// Index from a key (32-bit, or 64-bit for sector numbers) to the positions of the list entries
// carrying it, in list order.
// The catalog keeps one per lookup so that a lookup costs O(1) plus the entries it returns,
// and gives the same entries, in the same order, as a walk of the list from its head.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace catalog {

// No position: the end of a range, a free slot.
inline constexpr std::uint32_t kNoPosition = 0xFFFFFFFFu;

// The positions holding one key, ascending. Valid until the index is next changed.
class PositionRange
{
public:
    class Iterator
    {
    public:
        using value_type = std::size_t;
        using difference_type = std::ptrdiff_t;

        Iterator() = default;
        std::size_t operator*() const noexcept { return m_current; }
        Iterator& operator++() noexcept
        {
            m_current = m_current == m_tail ? kNoPosition : (*m_next)[m_current];
            return *this;
        }
        Iterator operator++(int) noexcept
        {
            Iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const Iterator& other) const noexcept { return m_current == other.m_current; }

    private:
        friend class PositionRange;
        Iterator(const std::vector<std::uint32_t>* next, std::uint32_t current, std::uint32_t tail) noexcept
            : m_next(next), m_current(current), m_tail(tail)
        {
        }
        const std::vector<std::uint32_t>* m_next = nullptr;
        std::uint32_t m_current = kNoPosition;
        std::uint32_t m_tail = kNoPosition;
    };

    PositionRange() = default;
    PositionRange(const std::vector<std::uint32_t>* next, std::uint32_t head, std::uint32_t tail) noexcept
        : m_next(next), m_head(head), m_tail(tail)
    {
    }
    Iterator begin() const noexcept { return {m_next, m_head, m_tail}; }
    Iterator end() const noexcept { return {m_next, kNoPosition, m_tail}; }
    bool empty() const noexcept { return m_head == kNoPosition; }
    // The first position, or nothing for an empty range.
    std::optional<std::size_t> First() const noexcept
    {
        return m_head == kNoPosition ? std::nullopt : std::optional<std::size_t>(m_head);
    }

private:
    const std::vector<std::uint32_t>* m_next = nullptr;
    std::uint32_t m_head = kNoPosition;
    std::uint32_t m_tail = kNoPosition;
};

template <typename Key>
class BasicPositionIndex
{
public:
    static constexpr std::uint32_t kNone = kNoPosition;

    using Range = PositionRange;

    // Records that the entry at `position` carries `key`. Positions must rise from call to call
    // (the entry of a list's tail); kNone is not a position. Throws std::bad_alloc when memory
    // runs out.
    void Append(Key key, std::size_t position);

    Range Find(Key key) const noexcept;

    // Makes room ahead of a fill for the successors of positions below `positions` (used once
    // some key repeats), so that they are not copied again and again as the list grows. The key
    // slots still grow with the keys: sized for the keys that come, they stay small and close
    // together. Never shrinks; the index answers as before. Throws std::bad_alloc when memory
    // runs out.
    void ReservePositions(std::size_t positions);

    // Forgets every key and releases the memory.
    void Clear() noexcept;

    // Forgets every key but keeps the memory, for a rebuild of the same list.
    void Reset() noexcept;

    // Heap bytes held (for the memory figures of the catalog).
    std::size_t MemoryBytes() const noexcept;

private:
    // The key in 32-bit words, so that a slot of a 64-bit key takes 12 bytes rather than 16.
    struct Slot
    {
        std::array<std::uint32_t, sizeof(Key) / 4> key;
        std::uint32_t tail;  // last position with the key; kNone: slot free
    };
    static_assert(sizeof(Key) % 4 == 0);

    std::size_t SlotFor(Key key) const noexcept;
    std::uint32_t HeadOf(std::uint32_t tail) const noexcept;
    void Grow();

    std::vector<Slot> m_slots;  // open addressing, linear probing, size a power of two
    std::size_t m_used = 0;
    // Each key's positions form a ring: m_next of a position is the next one with its key, and
    // m_next of the tail is the head. A key seen once has no ring (kNone, or beyond the end), so
    // the vector stays empty until some key repeats and is sized lazily; indexes of unique keys
    // cost only their slot.
    std::vector<std::uint32_t> m_next;
    std::uint32_t m_lastPosition = kNone;
};

// Record numbers, clusters, tree items, serials, file-system numbers.
using PositionIndex = BasicPositionIndex<std::uint32_t>;
// Sector numbers: their slots are twice as wide, so only the lookups by sector use them.
using SectorPositionIndex = BasicPositionIndex<std::uint64_t>;

extern template class BasicPositionIndex<std::uint32_t>;
extern template class BasicPositionIndex<std::uint64_t>;

// Appends to a list, growing it by half its size instead of doubling (the lists are the bulk of
// the memory of a large scan). Positions stay below PositionIndex::kNone; beyond that the list
// is out of memory like any other allocation failure.
template <typename T>
void AppendToList(std::vector<T>& list, T&& entry)
{
    if (list.size() == list.capacity()) {
        if (list.size() >= PositionIndex::kNone - 1)
            throw std::bad_alloc();
        std::size_t grown = list.size() + list.size() / 2 + 16;
        if (grown > PositionIndex::kNone - 1)
            grown = PositionIndex::kNone - 1;
        list.reserve(grown);
    }
    list.push_back(std::move(entry));
}

}  // namespace catalog
