// What the format libraries (libewf, libvhdi, libvmdk, libqcow) share: their error objects as
// text, and the files an image names beside itself (parents, backing files).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/messages.h"

namespace platform {

// The most telling line of a library's error backtrace: the innermost cause, with the function
// name that prefixes each line removed. `backtrace` is the library's text, one message a line.
std::string LibraryReasonFromBacktrace(std::string_view backtrace);

// Takes the text of a library error object and frees it; empty when there is none.
template <typename Error>
std::string TakeLibraryError(Error*& error, int (*backtraceSprint)(Error*, char*, std::size_t),
                             void (*release)(Error**))
{
    if (error == nullptr) {
        return {};
    }
    std::vector<char> text(4096, '\0');
    const int written = backtraceSprint(error, text.data(), text.size());
    release(&error);
    error = nullptr;
    if (written <= 0) {
        return {};
    }
    return LibraryReasonFromBacktrace(std::string_view(text.data()));
}

// "Cannot open PATH: WHY" (with a generic cause when the library gave none).
std::string LibraryOpenFailure(const std::string& path, std::string_view why);

// The file a parent or backing reference names: an absolute POSIX reference that exists as it
// is, a relative one from the image's folder when it exists there, else the reference's last path
// component (Windows or POSIX separators) in the image's folder, where copied images keep it.
std::string SiblingFile(const std::string& image, std::string_view reference);

// How many files (the image, its parents, their parents: differencing images, snapshots, backing
// files) one image may stack up.
inline constexpr std::size_t kMaxParentChain = 32;

// False when `next` is already in `chain` (the references loop) or the chain is full.
bool ParentChainGrows(const std::vector<std::string>& chain, const std::string& next);

// Why an image cannot be opened when its parent (or backing file) `parent` cannot: "parent image
// PARENT: WHY"; a parent that does not exist is said to be missing.
std::string ParentFailure(const std::string& parent, std::string_view why);

// Opens `path` and then the parent each file names (found beside it by SiblingFile), at most
// kMaxParentChain files. `openOne(file, isParent, why)` gives an owning handle, or an empty one
// with the reason in `why`; `parentOf(handle)` the name of its parent, empty for none. Returns the
// handles, the image first, with their file names in `opened`; an empty chain, with `reason` set,
// when a file cannot be opened or the references loop.
template <typename Handle, typename OpenOne, typename ParentOf>
std::vector<Handle> OpenImageChain(const std::string& path, OpenOne openOne, ParentOf parentOf,
                                   std::vector<std::string>& opened, std::string& reason)
{
    std::vector<Handle> chain;
    std::string current = path;
    for (;;) {
        std::string why;
        Handle handle = openOne(current, !chain.empty(), why);
        if (!handle) {
            reason = LibraryOpenFailure(path, chain.empty() ? why : ParentFailure(current, why));
            return {};
        }
        chain.push_back(std::move(handle));
        opened.push_back(current);
        const std::string parent = parentOf(chain.back().get());
        if (parent.empty()) {
            return chain;
        }
        current = SiblingFile(current, parent);
        if (!ParentChainGrows(opened, current)) {
            reason = LibraryOpenFailure(path, core::msg::kParentChainLoops);
            return {};
        }
    }
}

}  // namespace platform
