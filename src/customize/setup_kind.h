// What a run puts in place: the kind of setup file its launcher names, and
// the variant of it that a package's entry chooses.
#pragma once

// The kind of setup file: the .cif file (a launcher "..._x.exe"), or the
// .cmd script (a launcher whose last "_" field holds an "l", "..._xl.exe").
enum class SetupKind { Cif, Cmd };

// The variant of the prepared setup files: "_o" (package_type "O"), or "_e"
// (any other package_type).
enum class Variant { O, E };
