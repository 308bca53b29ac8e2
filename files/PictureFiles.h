// Picture files by name: splitting a name, choosing the codec by extension,
// the Save/Open dialog filters, the numbered-save name, and saving and loading
// whole files. No Qt, no X11: the windows turn the results into messages.
#pragma once

#include "files/Codec.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptivus::files {

// Folder up to and including the last '/', base name, and extension from the
// last point of the file-name part on (point included; empty if none).
struct NameParts {
    std::string folder;
    std::string base;
    std::string extension;
};
NameParts SplitFileName(std::string_view name);

// ASCII lower case; other bytes (UTF-8 included) stay as they are.
std::string LowerAscii(std::string_view text);

// The name with its extension in lower case: "Shot.GIF" gives "Shot.gif".
std::string WithLowerExtension(std::string_view name);

enum class PictureType { Unknown, Bmp, Gif, Jpeg, Ico, Emf, Wmf, Png };

// The type the name's extension stands for, compared in lower case.
PictureType PictureTypeOfName(std::string_view name);

// The name chosen in the Save dialog with its extension made to agree with the
// dialog's filter: index 1 ("All") keeps a saved type's extension and gives any
// other the stored default extension; 2 to 9 force that entry's extension.
std::string ApplyFilterExtension(std::string_view name, int filterIndex, std::string_view defaultExt);

// The file a save from the dialog really writes: the filter's extension,
// then in lower case ("Shot" with the default ".GIF" gives "Shot.gif").
std::string SavedFileName(std::string_view name, int filterIndex, std::string_view defaultExt);

// One entry of the Save and Open dialogs' filter: caption and ';'-separated patterns.
struct FilterEntry {
    std::string caption;
    std::string patterns;
    friend bool operator==(const FilterEntry&, const FilterEntry&) = default;
};

// The stored default extensions that pick a filter variant, in table order.
inline constexpr std::string_view kDefaultExtensions[] = {".GIF", ".JPG", ".JPEG", ".BMP", ".EMF", ".WMF", ".PNG"};

// The dialogs' nine filter entries for a stored default extension (compared
// case-sensitively): entry 1 lists the default's pattern first; nullopt when
// the value is none of kDefaultExtensions (the dialog then keeps its filter).
std::optional<std::vector<FilterEntry>> SaveFilterVariant(std::string_view defaultExt);

// The first free name folder + "/" + base + N + extension for N = 1, 2, ...;
// the extension is written in lower case, so that is the name tested. Nullopt
// when `limit` numbers are all taken.
std::optional<std::string> NumberedSavePath(std::string_view folder, std::string_view base,
                                            std::string_view defaultExt,
                                            const std::function<bool(const std::string&)>& exists,
                                            long limit = 1000000);

// The outcome of a save: the name written, or why nothing was. `nameTaken`:
// a save that may not replace found the name in use. `fileError`: the picture
// was encoded but the file system refused the file.
struct [[nodiscard]] SaveResult {
    std::string path;
    std::string error;
    bool nameTaken = false;
    bool fileError = false;
    bool ok() const { return error.empty(); }
};

// Replace: the file is replaced durably. NewFile: only a name nobody holds is
// taken; an existing file is never touched.
enum class SaveMode { Replace, NewFile };

// Writes the picture to the name with its extension in lower case, in the
// format the extension selects. BMP turns a device-default or custom picture
// into 24 bits in place; GIF marks the picture transparent on white, or clears
// the mark, as `transparent` says; these changes stay on the picture. The file
// is replaced durably: on failure an existing file is untouched; a name that
// is a symbolic link stays one, and the file it leads to is replaced.
SaveResult SavePicture(std::string_view path, pixels::Picture& picture, bool transparent,
                       SaveMode mode = SaveMode::Replace);

// SavePicture in two steps: the file, written from the picture as it is, and
// then the changes the format leaves on the picture (BMP: 24 bits; GIF: the
// transparency mark, and 24 bits unless it keeps its own table). A caller
// that waits for the file alone does the second step once the file is there.
SaveResult SavePictureFile(std::string_view path, const pixels::Picture& picture, bool transparent,
                           SaveMode mode = SaveMode::Replace);
void KeepSaveChanges(std::string_view path, pixels::Picture& picture, bool transparent);

// A picture read from a file, or why not. `unknownType` tells a name whose
// extension no reader takes from a file that could not be read or decoded.
struct [[nodiscard]] LoadResult {
    pixels::Picture picture;
    std::string error;
    bool unknownType = false;
    bool ok() const { return error.empty(); }
};

// Reads the file (at most limits.maxFileBytes) with the reader its extension
// selects. A file whose first bytes are not of that type is refused before it
// is read whole; the rest is read into one buffer of the file's size.
// `screenBits` is the depth of the screen (for JPEG's colour count). An error
// names the file and the reason.
LoadResult LoadPicture(std::string_view path, int screenBits, const ReadLimits& limits = {});

} // namespace kaptivus::files
