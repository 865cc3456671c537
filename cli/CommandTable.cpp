#include "cli/CommandTable.h"

namespace
{
QCommandLineOption flag(const QStringList& names, const QString& description)
{
    return QCommandLineOption(names, description);
}

QCommandLineOption valued(const QString& name, const QString& valueName, const QString& description)
{
    return QCommandLineOption(name, description, valueName);
}

// Words filled into lines no wider than 79 columns, the first line starting with `indent`
// blanks and the others with `hanging` blanks.
QString wrapped(const QString& text, int indent, int hanging = -1)
{
    constexpr int width = 79;
    QString out;
    QString line;
    QString margin(indent, QLatin1Char(' '));
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && margin.size() + line.size() + 1 + word.size() > width) {
            out += margin + line + QLatin1Char('\n');
            line.clear();
            margin = QString(hanging < 0 ? indent : hanging, QLatin1Char(' '));
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        out += margin + line + QLatin1Char('\n');
    return out;
}

QString optionLabel(const QCommandLineOption& option)
{
    QStringList names;
    for (const QString& name : option.names())
        names += (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString label = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        label += QLatin1Char(' ') + option.valueName();
    return label;
}

QString optionList(const QList<QCommandLineOption>& options)
{
    constexpr int column = 22;
    QString out;
    for (const QCommandLineOption& option : options) {
        const QString label = QStringLiteral("  ") + optionLabel(option);
        QString text = wrapped(option.description(), column);
        if (label.size() < column - 1)
            text.replace(0, label.size(), label);
        else
            text.prepend(label + QLatin1Char('\n'));
        out += text;
    }
    return out;
}

const QString kPatterns = QStringLiteral(
    "Patterns: a pattern covers the whole name, from the first \\ of its folder to the end of the name, such "
    "as "
    "\\photos\\2005\\beach.jpg: --file '*beach*' finds beach anywhere, --file '\\photos\\*' every file below "
    "\\photos. * and % stand for any run of characters (also none, also across folders), _ for exactly one "
    "character; the letters A to Z match either case, every other character only itself. Blanks at either "
    "end "
    "of a pattern are dropped; --file '' adds no condition. / may stand for \\ in every pattern. "
    "--contains TEXT (or TEXT alone) finds names holding TEXT anywhere, taking * % and _ in it as "
    "themselves; "
    "--name GLOB matches the name alone. Both compare the letters of every script without case (\u00e9lan "
    "finds "
    "\u00c9lan). When --file finds nothing and does not begin with * or \\, a hint on standard error "
    "says how to find names holding it.");

const QString kOutput = QStringLiteral(
    "Output: one file per line, its disc label, name, date and size separated by tabs, then \"N files "
    "found\" "
    "on standard error. Control characters in names are written as \\xHH, and a backslash followed by an x "
    "and "
    "two hex digits as \\x5C. --json writes one object per line with the members disc, uuid, path, name, "
    "date "
    "(text) and size (a number); --csv writes RFC 4180 with a header line; --null writes one field per file, "
    "its disc label and full name (C0002\\music\\song.mp3), ended by a NUL and not escaped. A --disc that "
    "names no disc of the catalogue is an error.");
} // namespace

namespace CommandTable
{
QCommandLineOption catalogueOption()
{
    return valued(QStringLiteral("catalogue"), QStringLiteral("FILE"),
                  QStringLiteral("the catalogue to use (by default $TESSARO_CATALOGUE, else archive.mdb "
                                 "beside the program, or the user's own for a shared install)"));
}

QCommandLineOption helpOption()
{
    return flag({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("show this help"));
}

QCommandLineOption versionOption()
{
    return flag({QStringLiteral("V"), QStringLiteral("version")}, QStringLiteral("show the version"));
}

const QList<CommandSpec>& commands()
{
    static const QList<CommandSpec> table = [] {
        QList<CommandSpec> list;
        list.append({QStringLiteral("create-catalogue"),
                     cmdCreateCatalogue,
                     QStringLiteral("create-catalogue"),
                     QStringLiteral("Creates an empty catalogue in a missing or empty file."),
                     {},
                     0,
                     0,
                     {},
                     {},
                     {}});
        list.append({QStringLiteral("drives"),
                     cmdDrives,
                     QStringLiteral("drives"),
                     QStringLiteral("Lists the drive letters: letter, kind, root folder and label."),
                     {},
                     0,
                     0,
                     {},
                     {},
                     {}});
        list.append(
            {QStringLiteral("add"),
             cmdAdd,
             QStringLiteral("add [--type CD|DVD] [--drive LETTER | --root FOLDER|IMAGE] [--label TEXT] "
                            "[--archives | --no-archives] [--dot-folders] [--hash] [--again] [--quiet]"),
             QStringLiteral("Catalogues the disc in the configured drive, in the given drive, or a folder or "
                            "disc image as a disc, and prints \"New CD ID: C0001\" and \"N files found\"."),
             {},
             0,
             0,
             {valued(QStringLiteral("type"), QStringLiteral("CD|DVD"),
                     QStringLiteral("the kind of disc (CD)")),
              valued(QStringLiteral("drive"), QStringLiteral("LETTER"),
                     QStringLiteral("the drive letter instead of the configured one")),
              valued(QStringLiteral("root"), QStringLiteral("FOLDER|IMAGE"),
                     QStringLiteral("a folder or a disc image file as the disc")),
              valued(QStringLiteral("label"), QStringLiteral("TEXT"),
                     QStringLiteral("the disc's volume label, at most 49 characters, instead of the one read "
                                    "from the disc (a folder has none)")),
              flag({QStringLiteral("archives")}, QStringLiteral("list the contents of archives")),
              flag({QStringLiteral("no-archives")},
                   QStringLiteral("do not list the contents of archives, whatever the setting")),
              flag({QStringLiteral("dot-folders")},
                   QStringLiteral("also enter folders whose names begin with .")),
              flag({QStringLiteral("hash")},
                   QStringLiteral("read every file and keep a hash of its content (XXH3, 128 bits)")),
              flag({QStringLiteral("again")},
                   QStringLiteral("catalogue a disc that looks like one already catalogued")),
              flag({QStringLiteral("q"), QStringLiteral("quiet")},
                   QStringLiteral("print nothing but errors"))},
             QStringLiteral(
                 "On a terminal a line on standard error shows the counting pass, then the percentage done, "
                 "the files per second and the time left. Ctrl+C stops the run and leaves nothing of the "
                 "disc "
                 "(exit status 130). A disc whose volume label, file system id and numbers of files and "
                 "folders are those of a catalogued disc (from the same image or folder, if it came from "
                 "one) is refused with exit status 1 unless --again is given. Archives left unlisted are "
                 "named on standard error, one line each with the reason. With --hash (or Hashes=true in "
                 "tessaro.ini) a file whose content cannot be read is catalogued without a hash and named "
                 "on standard error, and the exit status is 3; files on disc images and archive members "
                 "get no hash."),
             {QStringLiteral("type"), QStringLiteral("drive"), QStringLiteral("root"),
              QStringLiteral("label")}});
        list.append({QStringLiteral("remove"),
                     cmdRemove,
                     QStringLiteral("remove LABEL"),
                     QStringLiteral("Removes a disc, without asking; d0007 and D0007 are the same disc."),
                     QStringLiteral("LABEL"),
                     1,
                     1,
                     {},
                     {},
                     {}});
        list.append(
            {QStringLiteral("discs"),
             cmdDiscs,
             QStringLiteral("discs [--count | --json] [--attention [--before YYYY-MM-DD]]"),
             QStringLiteral("Lists the discs, highest first: label, volume label, date, number of "
                            "files and location."),
             {},
             0,
             0,
             {flag({QStringLiteral("count")}, QStringLiteral("print only the number of discs")),
              flag({QStringLiteral("json")},
                   QStringLiteral("print JSON Lines: disc, volume_label, catalogued, files, location")),
              flag({QStringLiteral("attention")},
                   QStringLiteral("only discs never verified, or whose last verification found problems")),
              valued(QStringLiteral("before"), QStringLiteral("YYYY-MM-DD"),
                     QStringLiteral("with --attention: also discs last verified before this day"))},
             {},
             {QStringLiteral("before")}});
        list.append(
            {QStringLiteral("extensions"),
             cmdExtensions,
             QStringLiteral("extensions [--json]"),
             QStringLiteral("Lists the extensions as the main window offers them."),
             {},
             0,
             0,
             {flag({QStringLiteral("json")},
                   QStringLiteral("print JSON Lines, one object per extension: {\"extension\":\"jpg\"}; "
                                  "none for a catalogue without extensions"))},
             {},
             {}});
        list.append(
            {QStringLiteral("search"),
             cmdSearch,
             QStringLiteral(
                 "search [--disc LABEL] [--file PATTERN | --contains TEXT | --name GLOB | TEXT] "
                 "[--from YYYY-MM-DD] [--to YYYY-MM-DD] [--ext EXT]... [--count | --csv | --json | "
                 "--null] [--quiet]"),
             QStringLiteral(
                 "Finds files as the main window's search does: each option adds one condition, and "
                 "a file must meet them all. TEXT alone is --contains TEXT."),
             QStringLiteral("TEXT"),
             0,
             1,
             {valued(QStringLiteral("disc"), QStringLiteral("LABEL"), QStringLiteral("files of this disc")),
              valued(QStringLiteral("file"), QStringLiteral("PATTERN"),
                     QStringLiteral("names matching the pattern (see Patterns)")),
              valued(QStringLiteral("contains"), QStringLiteral("TEXT"),
                     QStringLiteral("names holding TEXT, in the folder or the name, every character as it is "
                                    "and letters of any script in either case")),
              valued(QStringLiteral("name"), QStringLiteral("GLOB"),
                     QStringLiteral(
                         "names (without their folder) matching GLOB: * any run of characters, ? one, "
                         "[abc] or [a-z] one of a set, [!abc] none of it; letters of any script "
                         "in either case")),
              valued(QStringLiteral("from"), QStringLiteral("YYYY-MM-DD"),
                     QStringLiteral("files dated this day or later")),
              valued(QStringLiteral("to"), QStringLiteral("YYYY-MM-DD"),
                     QStringLiteral("files dated this day or earlier")),
              valued(QStringLiteral("ext"), QStringLiteral("EXT"),
                     QStringLiteral("files with this extension (jpg or .jpg); give it again for more, any of "
                                    "which matches")),
              flag({QStringLiteral("count")}, QStringLiteral("print only the number of files found")),
              flag({QStringLiteral("csv")}, QStringLiteral("print CSV with a header line")),
              flag({QStringLiteral("json")}, QStringLiteral("print JSON Lines, one object per file")),
              flag({QStringLiteral("0"), QStringLiteral("null")},
                   QStringLiteral(
                       "print disc label and full name of each file, ended by a NUL (for xargs -0)")),
              flag({QStringLiteral("q"), QStringLiteral("quiet")},
                   QStringLiteral("write nothing on standard error but errors"))},
             kPatterns + QStringLiteral("\n\n") + kOutput,
             {QStringLiteral("disc"), QStringLiteral("file"), QStringLiteral("contains"),
              QStringLiteral("name"), QStringLiteral("from"), QStringLiteral("to")}});
        list.append(
            {QStringLiteral("info"),
             cmdInfo,
             QStringLiteral("info LABEL [--location TEXT] [--notes TEXT] [--json]"),
             QStringLiteral(
                 "Prints what the catalogue knows about a disc as key: value lines, after setting its "
                 "location or notes when asked to."),
             QStringLiteral("LABEL"),
             1,
             1,
             {valued(QStringLiteral("location"), QStringLiteral("TEXT"),
                     QStringLiteral("where the disc is kept (an empty TEXT clears it)")),
              valued(QStringLiteral("notes"), QStringLiteral("TEXT"),
                     QStringLiteral("notes on the disc (an empty TEXT clears them)")),
              flag(
                  {QStringLiteral("json")},
                  QStringLiteral("print one JSON object, its members named as the lines with _ for blanks"))},
             QStringLiteral(
                 "The lines are disc, volume label, type, catalogued, folders, files, size (the files' "
                 "sizes added up, in bytes), total space and free space (of the medium, in bytes, as the "
                 "drive reported them when the disc was catalogued; empty when it did not), file system "
                 "id (UUID or serial number, where the drive gives one), location, notes and source (the "
                 "image file or folder the disc was read from, empty for a disc of its own). Control "
                 "characters are written as \\xHH, as in search."),
             {QStringLiteral("location"), QStringLiteral("notes")}});
        list.append(
            {QStringLiteral("tree"),
             cmdTree,
             QStringLiteral("tree LABEL [FOLDER] [--json]"),
             QStringLiteral(
                 "Prints the folders of a disc, or the content of one of its folders, with the number "
                 "of files and their size."),
             QStringLiteral("LABEL [FOLDER]"),
             1,
             2,
             {flag({QStringLiteral("json")},
                   QStringLiteral("print JSON Lines: one object per folder (folder, files, size), the "
                                  "files as search writes them"))},
             QStringLiteral(
                 "Without FOLDER: one line per folder, each after its parent: the folder (\\photos\\), "
                 "the number of files in it and below it, and their size in bytes, separated by tabs. "
                 "With FOLDER (\\photos or /photos): its folders in the same form, then its files: the "
                 "name with its folder, date and size."),
             {}});
        list.append(
            {QStringLiteral("duplicates"),
             cmdDuplicates,
             QStringLiteral("duplicates [--min-size BYTES] [--count | --csv | --json | --null]"),
             QStringLiteral(
                 "Lists files kept on two or more discs: files of the same name (A to Z of either case) "
                 "and size, every copy, the largest files first."),
             {},
             0,
             0,
             {valued(QStringLiteral("min-size"), QStringLiteral("BYTES"),
                     QStringLiteral("only files of at least this size (0)")),
              flag({QStringLiteral("count")}, QStringLiteral("print only the number of copies found")),
              flag({QStringLiteral("csv")}, QStringLiteral("print CSV with a header line")),
              flag({QStringLiteral("json")}, QStringLiteral("print JSON Lines, one object per copy")),
              flag({QStringLiteral("0"), QStringLiteral("null")},
                   QStringLiteral(
                       "print disc label and full name of each copy, ended by a NUL (for xargs -0)"))},
             QStringLiteral(
                 "Output: as search writes it; the copies of one file follow each other, by disc."),
             {QStringLiteral("min-size")}});
        list.append(
            {QStringLiteral("hash"),
             cmdHash,
             QStringLiteral("hash LABEL [--drive LETTER | --root FOLDER]"),
             QStringLiteral(
                 "Adds content hashes to a disc catalogued without them, reading its files from the "
                 "same medium."),
             QStringLiteral("LABEL"),
             1,
             1,
             {valued(QStringLiteral("drive"), QStringLiteral("LETTER"),
                     QStringLiteral("the drive letter instead of the configured one")),
              valued(QStringLiteral("root"), QStringLiteral("FOLDER"),
                     QStringLiteral("a folder as the disc"))},
             QStringLiteral(
                 "Only files without a hash are read. A file whose size or date no longer matches its row, "
                 "that "
                 "is not on the medium or cannot be read gets no hash and is named on standard error; the "
                 "exit "
                 "status is then 3. Hashes are committed every 256 files: Ctrl+C (exit status 130) or a kill "
                 "keeps what was hashed, and the next run goes on with the rest. Disc images are not read; "
                 "mount them and give the folder."),
             {QStringLiteral("drive"), QStringLiteral("root")}});
        list.append(
            {QStringLiteral("update"),
             cmdUpdate,
             QStringLiteral(
                 "update LABEL [--drive LETTER | --root FOLDER|IMAGE] [--dry-run] [--yes] [--force] "
                 "[--list]"),
             QStringLiteral(
                 "Brings a catalogued disc up to date with its medium, keeping its label, id, UUID, "
                 "location and notes."),
             QStringLiteral("LABEL"),
             1,
             1,
             {valued(QStringLiteral("drive"), QStringLiteral("LETTER"),
                     QStringLiteral("the drive letter instead of the configured one")),
              valued(QStringLiteral("root"), QStringLiteral("FOLDER|IMAGE"),
                     QStringLiteral("a folder or a disc image file as the disc")),
              flag({QStringLiteral("dry-run")},
                   QStringLiteral("compare and print, never change the catalogue")),
              flag({QStringLiteral("yes")}, QStringLiteral("update without asking")),
              flag({QStringLiteral("force")},
                   QStringLiteral("update also from a medium that does not look like the disc, or where most "
                                  "files differ")),
              flag({QStringLiteral("list")},
                   QStringLiteral("name every file added (+), removed (-) and changed (~) as search rows"))},
             QStringLiteral(
                 "The medium must be that disc: its volume label and file-system id, and for a folder or "
                 "image "
                 "given by --root the path the disc was catalogued from (when one was kept), must match the "
                 "disc's record; otherwise nothing is changed and the reason is given (\"The disc in drive d "
                 "is "
                 "not C0012: its volume label is BACKUP_2019, C0012's is PHOTOS_2018\"), unless --force. It "
                 "is "
                 "then read as add reads it (the same rules for dot folders and archives, which are also "
                 "read "
                 "where the disc holds them) and compared with the disc's files by folder and name: added, "
                 "removed, and changed in size or date. On a disc with hashes only new and changed files are "
                 "read for their hash. Prints \"N added, N removed, N changed, N unchanged\"; on a terminal "
                 "it "
                 "then asks before changing anything, --yes changes without asking and --dry-run never does. "
                 "When fewer than half of the files are unchanged it says \"Most files differ: is this the "
                 "right disc?\" and asks again, also with --yes, unless --force; without a terminal it then "
                 "changes nothing.\n\nThe update is one transaction: rows added, removed and changed, the "
                 "disc's totals, free space, update date and generation, its search index; other discs are "
                 "untouched, and a kill leaves the old disc or the new one, never a mix. Nothing is written "
                 "when nothing differs. A folder that cannot be read, or a medium that changes during the "
                 "run, fails the update with nothing changed; Ctrl+C stops it (exit status 130). Exit status "
                 "0 when updated or nothing differs, 1 when refused or not confirmed, 3 when new or changed "
                 "files could not be hashed."),
             {QStringLiteral("drive"), QStringLiteral("root")}});
        list.append(
            {QStringLiteral("verify"),
             cmdVerify,
             QStringLiteral("verify LABEL [--drive LETTER | --root FOLDER|IMAGE] [--json]"),
             QStringLiteral(
                 "Reads every file of a disc's medium to its end and compares it with the catalogue: "
                 "presence, size, date and, where kept, the hash of its content."),
             QStringLiteral("LABEL"),
             1,
             1,
             {valued(QStringLiteral("drive"), QStringLiteral("LETTER"),
                     QStringLiteral("the drive letter instead of the configured one")),
              valued(QStringLiteral("root"), QStringLiteral("FOLDER|IMAGE"),
                     QStringLiteral("a folder or a disc image file as the disc")),
              flag({QStringLiteral("json")},
                   QStringLiteral("print JSON Lines: one object per problem (kind, disc, path, name, date, "
                                  "size, detail), then the summary"))},
             QStringLiteral(
                 "An I/O error ends the reading of that file, never the run. One line per problem, before "
                 "the summary: the kind (changed, unreadable, missing or new), then the file as search "
                 "writes "
                 "it, then what changed or the system's reason and how far the file could be read. Then "
                 "\"N files verified: N ok, N changed, N unreadable, N missing, N new; N MB/s\". Every "
                 "verification is kept in the catalogue (info shows the last one); Ctrl+C stops the run and "
                 "keeps nothing of it (exit status 130). Exit status 0 when all is well, 1 when anything was "
                 "found. Files on disc images and archive members are compared by name, size and date only."),
             {QStringLiteral("drive"), QStringLiteral("root")}});
        list.append(
            {QStringLiteral("coverage"),
             cmdCoverage,
             QStringLiteral(
                 "coverage [LABEL...] [--json] | --only-here LABEL [--count | --csv | --json | --null] | "
                 "--discardable [--json]"),
             QStringLiteral(
                 "Tells how many of each disc's files and bytes have a copy on another disc, and on "
                 "what evidence."),
             QStringLiteral("[LABEL...]"),
             0,
             1000000,
             {valued(QStringLiteral("only-here"), QStringLiteral("LABEL"),
                     QStringLiteral(
                         "list the disc's files that have no copy on any other disc, as search does")),
              flag({QStringLiteral("discardable")},
                   QStringLiteral(
                       "list the discs every counted file of which has a copy on other discs: "
                       "label, files, the evidence all copies have at least, the discs holding them")),
              valued(QStringLiteral("common"), QStringLiteral("DISCS"),
                     QStringLiteral("names on more than this many discs prove nothing without a hash (10)")),
              flag({QStringLiteral("count")},
                   QStringLiteral("with --only-here: print only the number of files")),
              flag({QStringLiteral("csv")}, QStringLiteral("with --only-here: print CSV with a header line")),
              flag({QStringLiteral("json")}, QStringLiteral("print JSON Lines")),
              flag({QStringLiteral("0"), QStringLiteral("null")},
                   QStringLiteral("with --only-here: print disc label and full name, ended by a NUL"))},
             QStringLiteral(
                 "Evidence, strongest first: hash (the same size and content hash; both files hashed), "
                 "name+size+date and name+size (names compared as the catalogue compares them). Where both "
                 "files have hashes the hashes decide: the same name, size and date with another content is "
                 "no "
                 "copy. A file counts at a level when its best evidence is that level or stronger. Zero-byte "
                 "files, and files without a hash whose name is on more than DISCS discs (Thumbs.db), are "
                 "left "
                 "out of the shares and counted apart. One line per disc: label, files (counted, empty, "
                 "common "
                 "names), then per level the files and bytes with a copy and their share of those counted."),
             {QStringLiteral("only-here"), QStringLiteral("common")}});
        list.append(
            {QStringLiteral("watch"),
             cmdWatch,
             QStringLiteral("watch [--add [--type CD|DVD]] [--json]"),
             QStringLiteral(
                 "Runs until stopped and prints a line for each medium that is put in or taken out: "
                 "appeared or gone, drive letter, device, volume label, file system id and the "
                 "catalogued disc it is, or new."),
             {},
             0,
             0,
             {flag({QStringLiteral("add")},
                   QStringLiteral(
                       "catalogue every new medium as add does and print an added line with its label")),
              valued(QStringLiteral("type"), QStringLiteral("CD|DVD"),
                     QStringLiteral("with --add: the kind of disc (CD)")),
              flag({QStringLiteral("json")},
                   QStringLiteral(
                       "print JSON Lines: event, drive, device, label, fs_id, disc (null when new)"))},
             QStringLiteral(
                 "Media are followed through UDisks2 on the system bus: discs in optical drives, USB sticks "
                 "and disks, never the disks of the machine. A medium is a catalogued disc when its volume "
                 "label and file system id are those the disc was catalogued with; a medium without a file "
                 "system id is always new. A drive letter shows as - when the medium has none (not mounted). "
                 "With --add a new medium is mounted when it is not, and catalogued with the settings add "
                 "uses; one that looks like a catalogued disc is refused with a note on standard error, and "
                 "the watch goes on. Ctrl+C or SIGTERM ends the watch (exit status 0); a run in progress is "
                 "stopped and leaves nothing of its disc. When UDisks2 goes away the watch waits for it and "
                 "then tells only what changed meanwhile."),
             {QStringLiteral("type")}});
        list.append({QStringLiteral("upgrade-catalogue"),
                     cmdUpgradeCatalogue,
                     QStringLiteral("upgrade-catalogue [--reindex]"),
                     QStringLiteral("Adds what an older catalogue lacks (such as the search index), without "
                                    "touching its rows."),
                     {},
                     0,
                     0,
                     {flag({QStringLiteral("reindex")},
                           QStringLiteral("build every disc's search index again from its rows"))},
                     {},
                     {}});
        list.append({QStringLiteral("help"),
                     nullptr,
                     QStringLiteral("help [COMMAND]"),
                     QStringLiteral("Shows the help of the program or of a command."),
                     QStringLiteral("[COMMAND]"),
                     0,
                     1,
                     {},
                     {},
                     {}});
        return list;
    }();
    return table;
}

const CommandSpec* find(const QString& name)
{
    for (const CommandSpec& command : commands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

QString programHelp()
{
    QString text = QStringLiteral("usage: tessaro-cli [--catalogue FILE] COMMAND [OPTIONS]\n"
                                  "       tessaro-cli COMMAND --help\n\n"
                                  "The disc catalogue from the command line.\n\ncommands:\n");
    for (const CommandSpec& command : commands()) {
        text += wrapped(command.synopsis, 2, 4);
        text += wrapped(command.summary, 6);
    }
    text += QStringLiteral("\noptions:\n") + optionList({catalogueOption(), helpOption(), versionOption()});
    text += QLatin1Char('\n') +
            wrapped(QStringLiteral("Exit status: 0 on success (a search that finds nothing included), 1 when "
                                   "the work fails, 2 for a wrong command line."),
                    0);
    return text;
}

QString commandHelp(const CommandSpec& command)
{
    QString text = wrapped(QStringLiteral("usage: tessaro-cli ") + command.synopsis, 0, 7) +
                   QLatin1Char('\n') + wrapped(command.summary, 0) + QStringLiteral("\noptions:\n");
    QList<QCommandLineOption> options = command.options;
    if (command.name != QLatin1String("help"))
        options.append(catalogueOption());
    options.append(helpOption());
    text += optionList(options);
    if (!command.notes.isEmpty()) {
        for (const QString& paragraph : command.notes.split(QStringLiteral("\n\n")))
            text += QLatin1Char('\n') + wrapped(paragraph, 0);
    }
    return text;
}
} // namespace CommandTable
