// The path built-ins: queries, creation, copies, edits and deletion of paths (path/Path_Main.h).
//
// A path index, point index or other whole number is the argument rounded to the nearest
// integer, halves to even; a flag is set from 0.5 up; coordinates, speeds, scales, angles and
// positions are narrowed to single precision. Setters and edits of an index without a path do
// nothing; misuse is reported as a non-fatal run-time error.
#include <cstdint>

#include "base/ErrorSink.h"
#include "function/Function_Args.h"
#include "function/Function_Resource.h"
#include "path/Path_Main.h"
#include "platform/Numeric.h"
#include "variable/ScriptValue.h"

namespace {

struct Args : ArgList {
  // The path named by argument `i`, or null.
  CPath* Path(int32_t i) const { return Path_Data(Int(i)); }
};

#define PATH_BUILTIN(name)                                                                              \
  void name([[maybe_unused]] ScriptValue* result, CInstance*, CInstance*, [[maybe_unused]] int32_t argc, \
            [[maybe_unused]] ScriptValue* args)

PATH_BUILTIN(PathExists) { SetReal(result, Path_Exists(Args{argc, args}.Int(0)) ? 1 : 0); }

PATH_BUILTIN(PathGetName) { SetString(result, Path_GetName(Args{argc, args}.Int(0))); }

// A query of the path: its answer, or -1 when the index has no path.
template <typename Query>
void AnswerOrMinusOne(ScriptValue* result, const CPath* path, Query query) {
  SetReal(result, path != nullptr ? query(*path) : -1.0);
}

PATH_BUILTIN(PathGetLength) {
  AnswerOrMinusOne(result, Args{argc, args}.Path(0), [](const CPath& p) { return p.GetLength(); });
}

PATH_BUILTIN(PathGetKind) {
  AnswerOrMinusOne(result, Args{argc, args}.Path(0), [](const CPath& p) { return p.GetKind(); });
}

PATH_BUILTIN(PathGetClosed) {
  AnswerOrMinusOne(result, Args{argc, args}.Path(0), [](const CPath& p) { return p.GetClosed() ? 1 : 0; });
}

PATH_BUILTIN(PathGetPrecision) {
  AnswerOrMinusOne(result, Args{argc, args}.Path(0), [](const CPath& p) { return p.GetPrecision(); });
}

PATH_BUILTIN(PathGetNumber) {
  AnswerOrMinusOne(result, Args{argc, args}.Path(0), [](const CPath& p) { return p.GetCount(); });
}

// Control point n: out of range it is (0, 0) with speed 1.
PATH_BUILTIN(PathGetPointX) {
  const Args a{argc, args};
  AnswerOrMinusOne(result, a.Path(0), [&](const CPath& p) { return p.GetPoint(a.Int(1)).x; });
}

PATH_BUILTIN(PathGetPointY) {
  const Args a{argc, args};
  AnswerOrMinusOne(result, a.Path(0), [&](const CPath& p) { return p.GetPoint(a.Int(1)).y; });
}

PATH_BUILTIN(PathGetPointSpeed) {
  const Args a{argc, args};
  AnswerOrMinusOne(result, a.Path(0), [&](const CPath& p) { return p.GetPoint(a.Int(1)).speed; });
}

PATH_BUILTIN(PathGetX) {
  const Args a{argc, args};
  AnswerOrMinusOne(result, a.Path(0), [&](const CPath& p) { return p.GetX(a.Single(1)); });
}

PATH_BUILTIN(PathGetY) {
  const Args a{argc, args};
  AnswerOrMinusOne(result, a.Path(0), [&](const CPath& p) { return p.GetY(a.Single(1)); });
}

PATH_BUILTIN(PathGetSpeed) {
  const Args a{argc, args};
  AnswerOrMinusOne(result, a.Path(0), [&](const CPath& p) { return p.GetSpeed(a.Single(1)); });
}

// An edit of path argument 0; nothing when it has no path.
template <typename Edit>
void EditPath(int32_t argc, const ScriptValue* args, Edit edit) {
  const Args a{argc, args};
  if (CPath* path = a.Path(0)) edit(*path, a);
}

PATH_BUILTIN(PathSetKind) {
  EditPath(argc, args, [](CPath& p, const Args& a) { p.SetKind(a.Int(1)); });
}

PATH_BUILTIN(PathSetClosed) {
  EditPath(argc, args, [](CPath& p, const Args& a) { p.SetClosed(a.Flag(1)); });
}

PATH_BUILTIN(PathSetPrecision) {
  EditPath(argc, args, [](CPath& p, const Args& a) { p.SetPrecision(a.Int(1)); });
}

PATH_BUILTIN(PathAdd) { SetReal(result, Path_Add()); }

PATH_BUILTIN(PathDuplicate) {
  const int32_t index = Args{argc, args}.Int(0);
  if (!Path_Exists(index)) {
    ReportRuntimeError("Trying to duplicate non-existing path.", false);
    SetReal(result, 0);
    return;
  }
  SetReal(result, Path_Duplicate(index));
}

PATH_BUILTIN(PathAssign) {
  const Args a{argc, args};
  if (!Path_Assign(a.Int(0), a.Int(1))) ReportRuntimeError("Error assigning a path.", false);
}

PATH_BUILTIN(PathAppend) {
  const Args a{argc, args};
  CPath* target = a.Path(0);
  if (target == nullptr) {
    ReportRuntimeError("Appending to non-existing path.", false);
    return;
  }
  const CPath* source = a.Path(1);
  if (source == nullptr) {
    ReportRuntimeError("Appending a non-existing path.", false);
    return;
  }
  target->Append(*source);
}

PATH_BUILTIN(PathDelete) {
  const int32_t index = Args{argc, args}.Int(0);
  if (!Path_Exists(index)) {
    ReportRuntimeError("Trying to delete non-existing path.", false);
    SetReal(result, 0);
    return;
  }
  SetReal(result, Path_Delete(index) ? 1 : 0);
}

PATH_BUILTIN(PathAddPoint) {
  EditPath(argc, args, [](CPath& p, const Args& a) { p.AddPoint(a.Single(1), a.Single(2), a.Single(3)); });
}

PATH_BUILTIN(PathInsertPoint) {
  EditPath(argc, args,
           [](CPath& p, const Args& a) { p.InsertPoint(a.Int(1), a.Single(2), a.Single(3), a.Single(4)); });
}

PATH_BUILTIN(PathChangePoint) {
  EditPath(argc, args,
           [](CPath& p, const Args& a) { p.ChangePoint(a.Int(1), a.Single(2), a.Single(3), a.Single(4)); });
}

PATH_BUILTIN(PathDeletePoint) {
  EditPath(argc, args, [](CPath& p, const Args& a) { p.DeletePoint(a.Int(1)); });
}

PATH_BUILTIN(PathClearPoints) {
  EditPath(argc, args, [](CPath& p, const Args&) { p.Clear(); });
}

PATH_BUILTIN(PathReverse) {
  EditPath(argc, args, [](CPath& p, const Args&) { p.Reverse(); });
}

PATH_BUILTIN(PathMirror) {
  EditPath(argc, args, [](CPath& p, const Args&) { p.Mirror(); });
}

PATH_BUILTIN(PathFlip) {
  EditPath(argc, args, [](CPath& p, const Args&) { p.Flip(); });
}

PATH_BUILTIN(PathRotate) {
  EditPath(argc, args, [](CPath& p, const Args& a) { p.Rotate(a.Single(1)); });
}

PATH_BUILTIN(PathRescale) {
  EditPath(argc, args, [](CPath& p, const Args& a) { p.Rescale(a.Single(1), a.Single(2)); });
}

PATH_BUILTIN(PathShift) {
  EditPath(argc, args, [](CPath& p, const Args& a) { p.Shift(a.Single(1), a.Single(2)); });
}

#undef PATH_BUILTIN

const BuiltinSpec kPathBuiltins[] = {
    {"path_exists", PathExists, 1},
    {"path_get_name", PathGetName, 1},
    {"path_name", PathGetName, 1},
    {"path_get_length", PathGetLength, 1},
    {"path_get_kind", PathGetKind, 1},
    {"path_get_closed", PathGetClosed, 1},
    {"path_get_precision", PathGetPrecision, 1},
    {"path_get_number", PathGetNumber, 1},
    {"path_get_point_x", PathGetPointX, 2},
    {"path_get_point_y", PathGetPointY, 2},
    {"path_get_point_speed", PathGetPointSpeed, 2},
    {"path_get_x", PathGetX, 2},
    {"path_get_y", PathGetY, 2},
    {"path_get_speed", PathGetSpeed, 2},
    {"path_set_kind", PathSetKind, 2},
    {"path_set_closed", PathSetClosed, 2},
    {"path_set_precision", PathSetPrecision, 2},
    {"path_add", PathAdd, 0},
    {"path_duplicate", PathDuplicate, 1},
    {"path_assign", PathAssign, 2},
    {"path_append", PathAppend, 2},
    {"path_delete", PathDelete, 1},
    {"path_add_point", PathAddPoint, 4},
    {"path_insert_point", PathInsertPoint, 5},
    {"path_change_point", PathChangePoint, 5},
    {"path_delete_point", PathDeletePoint, 2},
    {"path_clear_points", PathClearPoints, 1},
    {"path_reverse", PathReverse, 1},
    {"path_mirror", PathMirror, 1},
    {"path_flip", PathFlip, 1},
    {"path_rotate", PathRotate, 2},
    {"path_rescale", PathRescale, 3},
    {"path_shift", PathShift, 3},
};

}  // namespace

void RegisterPathFunctions() { RegisterBuiltinTable(kPathBuiltins); }
