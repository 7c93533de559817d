#include "function/Function_Math.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "base/Common.h"
#include "base/ErrorSink.h"
#include "function/Function_Args.h"
#include "os/OS_Clock.h"
#include "platform/Numeric.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_State.h"

namespace {

using num::ToFloat;

// Single precision widened back to double: f(v) of the formulas below.
inline double F(double v) { return static_cast<double>(ToFloat(v)); }

// A trigonometric result whose single-precision magnitude is below this becomes 0.
const float kSnapTrig = 0.00001f;
// A lengthdir component whose fractional part is smaller than this becomes its integer part.
const double kSnapLength = static_cast<double>(0.0001f);

// ---- Type tests ----

template <uint32_t Kind>
void IsKind(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, argc >= 1 && args[0].kind == Kind ? 1.0 : 0.0);
}

// ---- Arrays ----

// The array an array built-in works on: its call has exactly `count` arguments and the first
// holds an array record; otherwise null (the built-in does nothing).
ValueArray* CheckedArray(int32_t argc, const ScriptValue* args, int32_t count) {
  if (argc != count || args[0].kind != VALUE_ARRAY) return nullptr;
  return args[0].arr;
}

// The flat element index of [i, j]; an index that cannot be represented is reported as out of
// range by the element access that uses it.
int32_t FlatIndex(int32_t i, int32_t j) {
  int32_t index = 0;
  return EncodeArrayIndex(i, j, &index) ? index : -1;
}

// Reads element `index` of the array argument into `result`. A negative index (which would
// otherwise name the whole value) reads nothing and sets the index error state as every index
// outside the array does.
void ReadElement(ScriptValue* result, ScriptValue* array, int32_t index) {
  if (index == kWholeValueIndex) index = -1;
  GetValueElement(result, array, index);
}

// Stores a copy of `value` at `index` of the array record the argument shares (in place, for
// every holder of the record).
void StoreElement(ScriptValue* array, const ScriptValue* value, int32_t index) {
  if (index == kWholeValueIndex) index = -1;
  SetArrayElement(array, value, index);
}

void ArrayLength1D(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc < 1 || args[0].kind != VALUE_ARRAY || args[0].arr == nullptr) return;
  const ValueArray* array = args[0].arr;
  if (array->rows != nullptr && array->rowCount > 0) SetReal(result, array->rows[0].length);
}

void ArrayLength2D(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const ValueArray* array = CheckedArray(argc, args, 2);
  if (array == nullptr || args[1].kind != VALUE_REAL) return;
  const int32_t row = num::TruncInt32(args[1].real);
  if (row >= 0 && row < array->rowCount) SetReal(result, array->rows[row].length);
}

void ArrayHeight2D(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const ValueArray* array = CheckedArray(argc, args, 1);
  if (array != nullptr) SetReal(result, array->rowCount);
}

void ArrayGet(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CheckedArray(argc, args, 2) == nullptr) return;
  ReadElement(result, &args[0], GetArgumentInt(args, 1));
}

void ArrayGet2D(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CheckedArray(argc, args, 3) == nullptr) return;
  ReadElement(result, &args[0], FlatIndex(GetArgumentInt(args, 1), GetArgumentInt(args, 2)));
}

// The store forms: kind 0 answers real 0, 1 a copy of the stored value, 2 the element before.
enum class StoreAnswer { None, Stored, Previous };

void ArrayStore(ScriptValue* result, ScriptValue* args, int32_t index, const ScriptValue* value, StoreAnswer answer) {
  if (answer == StoreAnswer::Previous) ReadElement(result, &args[0], index);
  StoreElement(&args[0], value, index);
  if (answer == StoreAnswer::Stored) CopyValue(result, value);
}

template <StoreAnswer Answer>
void ArraySet(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (Answer == StoreAnswer::Previous) {
    // The post form reads before it checks anything: a value that is not an array is the
    // fatal indexing error, and an array value without a record reads real 0 and stores nothing.
    if (argc < 3) return;
    const int32_t index = GetArgumentInt(args, 1);
    ReadElement(result, &args[0], index);
    if (args[0].kind == VALUE_ARRAY && args[0].arr != nullptr) StoreElement(&args[0], &args[2], index);
    return;
  }
  if (CheckedArray(argc, args, 3) == nullptr) return;
  ArrayStore(result, args, GetArgumentInt(args, 1), &args[2], Answer);
}

template <StoreAnswer Answer>
void ArraySet2D(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CheckedArray(argc, args, 4) == nullptr) return;
  ArrayStore(result, args, FlatIndex(GetArgumentInt(args, 1), GetArgumentInt(args, 2)), &args[3], Answer);
}

// ---- Random numbers ----

void Random(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, RandomReal(1.0) * ArgReal(argc, args, 0));
}

void RandomRange(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const double a = ArgReal(argc, args, 0);
  const double b = ArgReal(argc, args, 1);
  const double low = a < b ? a : b;
  const double high = a < b ? b : a;
  SetReal(result, RandomReal(1.0) * (high - low) + low);
}

void IRandom(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const double x = ArgReal(argc, args, 0);
  const int64_t n = num::TruncInt64(x >= 0.0 ? x + 1.0 : x - 1.0);
  SetReal(result, static_cast<double>(RandomInt64Below(n)));
}

void IRandomRange(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const double a = ArgReal(argc, args, 0);
  const double b = ArgReal(argc, args, 1);
  const double low = a < b ? a : b;
  const double high = a < b ? b : a;
  const int64_t n = num::TruncInt64(high - low + 1.0);
  SetReal(result, static_cast<double>(num::WrapAdd64(num::TruncInt64(low), RandomInt64Below(n))));
}

void RandomSetSeed(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SeedRandom(static_cast<uint32_t>(static_cast<uint64_t>(num::TruncInt64(ArgReal(argc, args, 0)))));
}

void RandomGetSeed(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetReal(result, static_cast<double>(GetRandomSeed()));
}

void Randomize(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  const uint64_t t = static_cast<uint64_t>(Timing_GetMicroseconds()) + static_cast<uint64_t>(Timing_StartCount);
  const uint32_t lo = static_cast<uint32_t>(t);
  const uint32_t hi = static_cast<uint32_t>(t >> 32);
  const uint32_t seed = (lo + hi) ^ ((lo >> 16) & 0xFFFFu) ^ (lo << 16);
  SeedRandom(seed);
  SetReal(result, static_cast<int32_t>(seed));
}

// ---- Arithmetic ----

// The built-ins that map one number to one number.
template <double (*Op)(double)>
void Unary(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, Op(ArgReal(argc, args, 0)));
}

double Abs(double x) { return std::fabs(x); }
double Round(double x) { return num::RoundInt32(x); }
double Floor(double x) { return std::floor(x); }
double Ceil(double x) { return std::ceil(x); }
double Sign(double x) { return x > 0.0 ? 1.0 : (x == 0.0 ? 0.0 : -1.0); }
double Frac(double x) { return x - std::trunc(x); }
double Sqr(double x) { return x * x; }
double Exp(double x) { return std::exp(x); }
double Ln(double x) { return std::log(x); }
double Log2(double x) { return std::log(x) / std::log(2.0); }
double Log10(double x) { return std::log10(x); }
double DegToRad(double x) { return x * PiF / 180.0; }
double RadToDeg(double x) { return x * 180.0 / PiF; }

void Sqrt(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const double x = ArgReal(argc, args, 0);
  if (!(x >= 0.0)) {
    ReportRuntimeError("Cannot apply sqrt to negative number.", false);
    return;
  }
  SetReal(result, std::sqrt(x));
}

void Power(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, std::pow(ArgReal(argc, args, 0), ArgReal(argc, args, 1)));
}

void LogN(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, std::log(ArgReal(argc, args, 1)) / std::log(ArgReal(argc, args, 0)));
}

// min and max: the first argument, replaced only by one strictly smaller (larger).
template <bool Smallest>
void MinMax(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc <= 0) return;
  for (int32_t i = 0; i < argc; ++i) {
    if (args[i].kind != VALUE_REAL) {
      ReportRuntimeError(Smallest ? "Error min(): illegal argument; strings not permitted"
                                  : "Error max(): illegal argument; strings not permitted",
                         false);
      return;
    }
  }
  double best = args[0].real;
  for (int32_t i = 1; i < argc; ++i) {
    if (Smallest ? args[i].real < best : args[i].real > best) best = args[i].real;
  }
  SetReal(result, best);
}

void Mean(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc <= 0) return;
  double sum = 0.0;
  for (int32_t i = 0; i < argc; ++i) sum += ArgReal(argc, args, i);
  SetReal(result, sum / argc);
}

// The value at position count div 2 of the arguments in ascending order (the upper middle one
// for an even count). NaNs order after every number.
void Median(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc <= 0) return;
  std::vector<double> values(static_cast<size_t>(argc));
  for (int32_t i = 0; i < argc; ++i) values[static_cast<size_t>(i)] = ArgReal(argc, args, i);
  const auto middle = values.begin() + argc / 2;
  std::nth_element(values.begin(), middle, values.end(), [](double a, double b) {
    return !std::isnan(a) && (std::isnan(b) || a < b);
  });
  SetReal(result, *middle);
}

void Choose(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc <= 0) return;
  const int32_t index = std::min(RandomInt(argc), argc - 1);
  CopyValue(result, &args[index]);
}

void Clamp(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  double r = ArgReal(argc, args, 0);
  const double low = ArgReal(argc, args, 1);
  const double high = ArgReal(argc, args, 2);
  if (r < low) r = low;
  if (r > high) r = high;
  SetReal(result, r);
}

void Lerp(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc != 3) return;
  const double a = ArgReal(argc, args, 0);
  SetReal(result, (ArgReal(argc, args, 1) - a) * ArgReal(argc, args, 2) + a);
}

void MathSetEpsilon(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc != 1 || args[0].kind != VALUE_REAL) return;
  const double e = args[0].real;
  if (e >= 0.0 && e < 1.0) {
    g_Variables.MathEpsilon = e;
  } else {
    ReportRuntimeError("math_set_epsilon :: value should be greater than or equal to 0 and less than 1", true);
  }
}

// ---- Trigonometry ----

// A single-precision result, set to 0 when its magnitude is below the snap.
double Snap(float r) { return std::fabs(r) < kSnapTrig ? 0.0 : static_cast<double>(r); }

// Degrees of a single-precision angle in radians, in single precision.
float ToDegrees(double radians) { return ToFloat(F(radians) * 180.0 / PiF); }

template <double (*Op)(double)>
double Trig(double x) { return Snap(ToFloat(Op(F(x)))); }

template <double (*Op)(double)>
double TrigDegrees(double x) { return Snap(ToFloat(Op(F(F(x) * PiF / 180.0)))); }

double Sin(double x) { return std::sin(x); }
double Cos(double x) { return std::cos(x); }
double Tan(double x) { return std::tan(x); }
double Atan(double x) { return std::atan(x); }
double DArctan(double x) { return Snap(ToDegrees(std::atan(F(x)))); }

// arcsin and arccos (and their degree forms): the domain is tested after the argument has been
// rounded to single precision.
template <bool Sine, bool Degrees>
void ArcFunction(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const double a = F(ArgReal(argc, args, 0));
  if (!(a >= -1.0 && a <= 1.0)) {
    ReportRuntimeError(Sine ? "Error in function arcsin()." : "Error in function arccos().", false);
    return;
  }
  const double r = Sine ? std::asin(a) : std::acos(a);
  SetReal(result, Degrees ? Snap(ToDegrees(r)) : Snap(ToFloat(r)));
}

template <bool Degrees>
void Arctan2(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const double r = std::atan2(F(ArgReal(argc, args, 0)), F(ArgReal(argc, args, 1)));
  SetReal(result, Degrees ? Snap(ToDegrees(r)) : Snap(ToFloat(r)));
}

// ---- Points and vectors ----

// Length of a difference vector of rounded coordinates, in single precision.
double Distance(double dx, double dy, double dz) { return F(std::sqrt(F(dx * dx + dy * dy + dz * dz))); }

void PointDistance(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const double dx = F(ArgReal(argc, args, 2)) - F(ArgReal(argc, args, 0));
  const double dy = F(ArgReal(argc, args, 3)) - F(ArgReal(argc, args, 1));
  SetReal(result, Distance(dx, dy, 0.0));
}

void PointDistance3D(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const double dx = F(ArgReal(argc, args, 3)) - F(ArgReal(argc, args, 0));
  const double dy = F(ArgReal(argc, args, 4)) - F(ArgReal(argc, args, 1));
  const double dz = F(ArgReal(argc, args, 5)) - F(ArgReal(argc, args, 2));
  SetReal(result, Distance(dx, dy, dz));
}

void PointDirectionBuiltin(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, PointDirection(ArgReal(argc, args, 0), ArgReal(argc, args, 1), ArgReal(argc, args, 2),
                                 ArgReal(argc, args, 3)));
}

void LengthdirXBuiltin(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, LengthdirX(ArgReal(argc, args, 0), ArgReal(argc, args, 1)));
}

void LengthdirYBuiltin(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, LengthdirY(ArgReal(argc, args, 0), ArgReal(argc, args, 1)));
}

// The dot products over `Dims` dimensions: arguments are the first vector's components, then the
// second's. Normalised, the components are rounded to single precision first and the product is
// divided by both single-precision lengths.
template <int Dims, bool Normalised>
void DotProduct(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  double a[Dims];
  double b[Dims];
  for (int k = 0; k < Dims; ++k) {
    a[k] = ArgReal(argc, args, k);
    b[k] = ArgReal(argc, args, Dims + k);
    if (Normalised) {
      a[k] = F(a[k]);
      b[k] = F(b[k]);
    }
  }
  double dot = 0.0;
  double lengthA = 0.0;
  double lengthB = 0.0;
  for (int k = 0; k < Dims; ++k) {
    dot += a[k] * b[k];
    lengthA += a[k] * a[k];
    lengthB += b[k] * b[k];
  }
  if (Normalised) dot /= F(std::sqrt(F(lengthB))) * F(std::sqrt(F(lengthA)));
  SetReal(result, dot);
}

void AngleDifference(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc != 2 || args[0].kind != VALUE_REAL || args[1].kind != VALUE_REAL) {
    ReportRuntimeError("angle_difference: illegal argument or argument count", true);
    return;
  }
  float d = ToFloat(F(args[0].real) - F(args[1].real));
  d = ToFloat(std::fmod(static_cast<double>(d), 360.0));
  d = ToFloat(static_cast<double>(d) + 540.0);
  d = ToFloat(std::fmod(static_cast<double>(d), 360.0));
  SetReal(result, static_cast<double>(d) - 180.0);
}

// ---- Registration ----

// Type tests, arrays, random numbers, arithmetic and trigonometry: the built-ins before the
// string ones.
const BuiltinSpec kNumberBuiltins[] = {
    {"is_real", IsKind<VALUE_REAL>, 1},
    {"is_string", IsKind<VALUE_STRING>, 1},
    {"is_array", IsKind<VALUE_ARRAY>, 1},
    {"is_undefined", IsKind<VALUE_UNDEFINED>, 1},
    {"is_int32", IsKind<VALUE_INT32>, 1},
    {"is_int64", IsKind<VALUE_INT64>, 1},
    {"is_ptr", IsKind<VALUE_PTR>, 1},
    {"is_vec3", IsKind<7>, 1},
    {"is_vec4", IsKind<7>, 1},
    {"is_matrix", IsKind<8>, 1},
    {"array_length_1d", ArrayLength1D, 1},
    {"array_length_2d", ArrayLength2D, 2},
    {"array_height_2d", ArrayHeight2D, 1},
    {"array_get", ArrayGet, 2},
    {"array_set", ArraySet<StoreAnswer::None>, 3},
    {"array_set_pre", ArraySet<StoreAnswer::Stored>, 3},
    {"array_set_post", ArraySet<StoreAnswer::Previous>, 3},
    {"array_get_2D", ArrayGet2D, 3},
    {"array_set_2D", ArraySet2D<StoreAnswer::None>, 4},
    {"array_set_2D_pre", ArraySet2D<StoreAnswer::Stored>, 4},
    {"array_set_2D_post", ArraySet2D<StoreAnswer::Previous>, 4},
    {"random", Random, 1},
    {"random_range", RandomRange, 2},
    {"irandom", IRandom, 1},
    {"irandom_range", IRandomRange, 2},
    {"random_set_seed", RandomSetSeed, 1},
    {"random_get_seed", RandomGetSeed, 0},
    {"randomize", Randomize, 0},
    {"abs", Unary<Abs>, 1},
    {"round", Unary<Round>, 1},
    {"floor", Unary<Floor>, 1},
    {"ceil", Unary<Ceil>, 1},
    {"sign", Unary<Sign>, 1},
    {"frac", Unary<Frac>, 1},
    {"sqrt", Sqrt, 1},
    {"sqr", Unary<Sqr>, 1},
    {"exp", Unary<Exp>, 1},
    {"ln", Unary<Ln>, 1},
    {"log2", Unary<Log2>, 1},
    {"log10", Unary<Log10>, 1},
    {"sin", Unary<Trig<Sin>>, 1},
    {"cos", Unary<Trig<Cos>>, 1},
    {"tan", Unary<Trig<Tan>>, 1},
    {"arcsin", ArcFunction<true, false>, 1},
    {"arccos", ArcFunction<false, false>, 1},
    {"arctan", Unary<Trig<Atan>>, 1},
    {"arctan2", Arctan2<false>, 2},
    {"dsin", Unary<TrigDegrees<Sin>>, 1},
    {"dcos", Unary<TrigDegrees<Cos>>, 1},
    {"dtan", Unary<TrigDegrees<Tan>>, 1},
    {"darcsin", ArcFunction<true, true>, 1},
    {"darccos", ArcFunction<false, true>, 1},
    {"darctan", Unary<DArctan>, 1},
    {"darctan2", Arctan2<true>, 2},
    {"degtorad", Unary<DegToRad>, 1},
    {"radtodeg", Unary<RadToDeg>, 1},
    {"power", Power, 2},
    {"logn", LogN, 2},
    {"min", MinMax<true>, -1},
    {"max", MinMax<false>, -1},
    {"min3", MinMax<true>, 3},
    {"max3", MinMax<false>, 3},
    {"mean", Mean, -1},
    {"median", Median, -1},
    {"choose", Choose, -1},
    {"clamp", Clamp, 3},
    {"lerp", Lerp, 3},
};

// The built-ins after the string ones.
const BuiltinSpec kPointAndAngleBuiltins[] = {
    {"point_distance", PointDistance, 4},
    {"point_direction", PointDirectionBuiltin, 4},
    {"lengthdir_x", LengthdirXBuiltin, 2},
    {"lengthdir_y", LengthdirYBuiltin, 2},
    {"point_distance_3d", PointDistance3D, 6},
    {"dot_product", DotProduct<2, false>, 4},
    {"dot_product_normalised", DotProduct<2, true>, 4},
    {"dot_product_3d", DotProduct<3, false>, 6},
    {"dot_product_3d_normalised", DotProduct<3, true>, 6},
    {"math_set_epsilon", MathSetEpsilon, 1},
    {"angle_difference", AngleDifference, 2},
};

}  // namespace

int64_t RandomInt64Below(int64_t n) {
  const uint64_t f = NextRandom();
  const uint64_t g = NextRandom();
  const uint64_t r = ((g & 0x7FFFFFFFu) << 32) + f;
  if (n == 0) return 0;
  // The magnitude in unsigned arithmetic, so that the most negative n has one too.
  const uint64_t m = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  const int64_t v = static_cast<int64_t>(r % m);  // below 2^63
  return n < 0 ? -v : v;
}

double PointDirection(double x1, double y1, double x2, double y2) {
  const double dx = F(F(x2) - F(x1));
  const double dy = F(F(y2) - F(y1));
  if (dx == 0.0) {
    if (dy > 0.0) return 270.0;
    if (dy < 0.0) return 90.0;
    return 0.0;
  }
  const double d = ToDegrees(std::atan2(dy, dx));
  return d <= 0.0 ? -d : F(360.0 - d);
}

namespace {

// The snap of the lengthdir components: a fractional part below 0.0001 is dropped.
double SnapComponent(float v) {
  double whole = 0.0;
  const double fraction = std::modf(static_cast<double>(v), &whole);
  if (std::fabs(F(fraction)) < kSnapLength) return F(whole);
  return v;
}

}  // namespace

double LengthdirX(double length, double direction) {
  const double a = F(F(direction) * PiF / 180.0);
  return SnapComponent(ToFloat(F(std::cos(a)) * F(length)));
}

double LengthdirY(double length, double direction) {
  const double a = F(F(direction) * PiF / 180.0);
  return SnapComponent(ToFloat(-(F(std::sin(a)) * F(length))));
}

void RegisterMathFunctions() {
  RegisterBuiltinTable(kNumberBuiltins);
  RegisterBuiltinTable(kStringBuiltins, kStringBuiltinCount);
  RegisterBuiltinTable(kPointAndAngleBuiltins);
}
