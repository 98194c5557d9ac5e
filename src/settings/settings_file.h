#pragma once
// The access protocol of LOGO2.DAT: Open, Read record n, Write record n, Close, through the
// one shared handle (Module1::SettingsFile) and record buffer (Module1::CurrentRecord).
//
// Reads and writes go to the file by its path each time, so a window keeps reaching the file
// even after another window has closed or reopened the shared handle. Saves of every process
// on one file take turns (an flock on the file). A save replaces the whole file atomically
// (a temporary file of its own beside it, every write, sync and close checked, its user
// attributes and ACL carried over, then renamed over), so a crash, a power loss or a full disk
// leaves either the old or the new contents, never a torn record. Only where a new file could
// not be what the old one was (more than one link, another owner or group, an extended
// attribute that cannot be carried, a folder that forbids new files) or the file is over
// 64 KiB are the records written in place instead, in one write: a crash of the program still
// leaves the old or the new records, but a power loss during the write may tear one. Only
// regular files are opened, and no open waits. Only "no such file" reads as an empty file;
// every other failure is a Failure that names the file and the reason in words.

#include "settings/exercise_record.h"

#include <QString>
#include <utility>
#include <vector>

namespace SettingsFileProtocol {

inline constexpr const char* FileName = "LOGO2.DAT";

// The folder, then "/" unless the folder already ends with one, then "LOGO2.DAT".
QString ComposeSettingsPath(const QString& folder);

// Closes every open file, takes the next free number into SettingsFile, computes SettingsPath
// and opens the file for reading and writing, creating it empty when missing; a file that may
// be read but not written is opened for reading (a save then fails with the reason).
// Throws Failure when the file cannot be created or read, or is not a regular file.
void Open();

// Reads record n (from 1) into CurrentRecord. Bytes beyond the end of the file read as zero.
void Read(int recordNumber);

// Writes CurrentRecord as record n, extending the file with zero bytes when needed and keeping
// every other byte. Throws Failure when the file cannot be written; the file is then unchanged,
// but for one written in place (see WriteRecords).
void Write(int recordNumber);

// Writes several records in one replacement of the file (CurrentRecord is not used): either
// every record reaches the file or, on a Failure, none does and the file is unchanged.
// When the file cannot be replaced faithfully, the records are written in place instead, and a
// Failure of the write or the sync there may leave some of them written.
void WriteRecords(const std::vector<std::pair<int, ExerciseRecord>>& records);

// Closes SettingsFile, which becomes 0 (the "close every open file" step of an opener does the
// same).
void Close();

bool IsOpen();

// Length of the file in bytes, 0 when there is none; throws Failure when it cannot be read.
qint64 Length();

// Removes what interrupted saves left beside the file (beside its target, for a link): regular
// files of this user under the temporary files' own pattern, unless a save is under way.
// Returns how many it removed.
int RemoveLeftoverTemporaryFiles();

} // namespace SettingsFileProtocol
