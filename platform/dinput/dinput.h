// The DirectInput 8 stand-in on SDL2: the interface object, devices for the system keyboard, the
// system mouse and attached game controllers, their standard data formats, cooperative levels,
// acquisition, immediate state, the range and auto-centre properties, and force-feedback effects
// (constant, periodic, damper) played through SDL's haptic API.
//
// Devices never drain SDL's queue themselves: they keep their state from the events that
// win32::PumpSdlEvents hands to observers, and pump it at every read so that the state is the
// one at the moment of the call. Controllers come from SDL's joystick API; a system without
// them enumerates nothing, exactly as when no controller is attached.
//
// Plain C++: no COM, no QueryInterface. Objects are reference-counted and held in dinput::Ref.
// Names and numeric values are the platform's.
#pragma once

#include <cstdint>

#include "platform/dinput/dinput_keys.h"
#include "platform/dinput/dinput_ref.h"
#include "platform/win32/win_types.h"

#define DIRECTINPUT_VERSION 0x0800

// Results.
#define DI_OK S_OK
#define DI_NOEFFECT S_FALSE
#define DI_PROPNOEFFECT S_FALSE
#define DI_POLLEDDEVICE ((HRESULT)0x00000002L)
#define DIERR_OLDDIRECTINPUTVERSION ((HRESULT)0x8007047EL)
#define DIERR_BETADIRECTINPUTVERSION ((HRESULT)0x80070481L)
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_NOTINITIALIZED ((HRESULT)0x80070015L)
#define DIERR_DEVICENOTREG ((HRESULT)0x80040154L)
#define DIERR_OBJECTNOTFOUND ((HRESULT)0x80070002L)
#define DIERR_UNSUPPORTED E_NOTIMPL
#define DIERR_GENERIC E_FAIL
#define DIERR_OUTOFMEMORY E_OUTOFMEMORY
#define DIERR_INPUTLOST ((HRESULT)0x8007001EL)
#define DIERR_NOTACQUIRED ((HRESULT)0x8007000CL)
#define DIERR_ACQUIRED ((HRESULT)0x800700AAL)
#define DIERR_OTHERAPPHASPRIO ((HRESULT)0x80070005L)
#define DIERR_NOTEXCLUSIVEACQUIRED ((HRESULT)0x80040205L)
#define DIERR_INCOMPLETEEFFECT ((HRESULT)0x80040206L)
#define DIERR_UNPLUGGED ((HRESULT)0x80040209L)
#ifndef E_HANDLE
#define E_HANDLE ((HRESULT)0x80070006L)
#endif
#define DIERR_NOTDOWNLOADED ((HRESULT)0x80040203L)

// Cooperative levels.
constexpr DWORD DISCL_EXCLUSIVE = 0x1;
constexpr DWORD DISCL_NONEXCLUSIVE = 0x2;
constexpr DWORD DISCL_FOREGROUND = 0x4;
constexpr DWORD DISCL_BACKGROUND = 0x8;
constexpr DWORD DISCL_NOWINKEY = 0x10;

// Enumeration.
constexpr DWORD DI8DEVCLASS_ALL = 0;
constexpr DWORD DI8DEVCLASS_DEVICE = 1;
constexpr DWORD DI8DEVCLASS_POINTER = 2;
constexpr DWORD DI8DEVCLASS_KEYBOARD = 3;
constexpr DWORD DI8DEVCLASS_GAMECTRL = 4;
constexpr DWORD DIEDFL_ALLDEVICES = 0x0;
constexpr DWORD DIEDFL_ATTACHEDONLY = 0x1;
constexpr DWORD DIEDFL_FORCEFEEDBACK = 0x100;
constexpr BOOL DIENUM_STOP = 0;
constexpr BOOL DIENUM_CONTINUE = 1;
constexpr DWORD DI8DEVTYPE_MOUSE = 0x12;
constexpr DWORD DI8DEVTYPE_KEYBOARD = 0x13;
constexpr DWORD DI8DEVTYPE_JOYSTICK = 0x14;
constexpr DWORD DI8DEVTYPE_GAMEPAD = 0x15;

// Data formats.
constexpr DWORD DIDF_ABSAXIS = 0x1;
constexpr DWORD DIDF_RELAXIS = 0x2;

// Properties.
constexpr DWORD DIPH_DEVICE = 0;
constexpr DWORD DIPH_BYOFFSET = 1;
constexpr DWORD DIPROPAUTOCENTER_OFF = 0;
constexpr DWORD DIPROPAUTOCENTER_ON = 1;
constexpr DWORD DIJOFS_X = 0;
constexpr DWORD DIJOFS_Y = 4;
constexpr DWORD DIJOFS_Z = 8;
constexpr DWORD DIJOFS_RX = 12;
constexpr DWORD DIJOFS_RY = 16;
constexpr DWORD DIJOFS_RZ = 20;
constexpr DWORD DIJOFS_SLIDER0 = 24;
constexpr DWORD DIJOFS_SLIDER1 = 28;

// Effects.
#ifndef INFINITE
#define INFINITE 0xFFFFFFFFu
#endif
constexpr DWORD DI_SECONDS = 1000000;
constexpr DWORD DI_FFNOMINALMAX = 10000;
constexpr DWORD DIEFF_OBJECTIDS = 0x01;
constexpr DWORD DIEFF_OBJECTOFFSETS = 0x02;
constexpr DWORD DIEFF_CARTESIAN = 0x10;
constexpr DWORD DIEFF_POLAR = 0x20;
constexpr DWORD DIEFF_SPHERICAL = 0x40;
constexpr DWORD DIEP_DURATION = 0x001;
constexpr DWORD DIEP_SAMPLEPERIOD = 0x002;
constexpr DWORD DIEP_GAIN = 0x004;
constexpr DWORD DIEP_TRIGGERBUTTON = 0x008;
constexpr DWORD DIEP_TRIGGERREPEATINTERVAL = 0x010;
constexpr DWORD DIEP_AXES = 0x020;
constexpr DWORD DIEP_DIRECTION = 0x040;
constexpr DWORD DIEP_ENVELOPE = 0x080;
constexpr DWORD DIEP_TYPESPECIFICPARAMS = 0x100;
constexpr DWORD DIEP_STARTDELAY = 0x200;
constexpr DWORD DIEP_ALLPARAMS = 0x3FF;
constexpr DWORD DIEP_START = 0x20000000;
constexpr DWORD DIEP_NORESTART = 0x40000000;
constexpr DWORD DIEB_NOTRIGGER = 0xFFFFFFFFu;
constexpr DWORD DIEFT_ALL = 0x00;
constexpr DWORD DIEFT_CONSTANTFORCE = 0x01;
constexpr DWORD DIEFT_RAMPFORCE = 0x02;
constexpr DWORD DIEFT_PERIODIC = 0x03;
constexpr DWORD DIEFT_CONDITION = 0x04;
constexpr DWORD DIES_SOLO = 0x1;
constexpr DWORD DIES_NODOWNLOAD = 0x80000000u;

using REFGUID = const GUID&;

// Device and effect identities. Controllers are identified by an instance GUID whose first
// word is SDL's joystick instance id and whose second word marks it as a controller.
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;
extern const GUID GUID_ConstantForce;
extern const GUID GUID_Square;
extern const GUID GUID_Sine;
extern const GUID GUID_Triangle;
extern const GUID GUID_SawtoothUp;
extern const GUID GUID_SawtoothDown;
extern const GUID GUID_Damper;
bool operator==(const GUID& a, const GUID& b);

// A data format. Only the three standard formats exist; the object list is summarised by its
// count, which is all the devices check.
struct DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwObjSize;
  DWORD dwFlags;
  DWORD dwDataSize;
  DWORD dwNumObjs;
};
extern const DIDATAFORMAT c_dfDIKeyboard;   // 256 bytes, one per scan code
extern const DIDATAFORMAT c_dfDIMouse;      // DIMOUSESTATE, 16 bytes
extern const DIDATAFORMAT c_dfDIJoystick2;  // DIJOYSTATE2, 272 bytes

struct DIMOUSESTATE {
  LONG lX;
  LONG lY;
  LONG lZ;
  BYTE rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16);

struct DIJOYSTATE2 {
  LONG lX, lY, lZ;
  LONG lRx, lRy, lRz;
  LONG rglSlider[2];
  DWORD rgdwPOV[4];
  BYTE rgbButtons[128];
  LONG lVX, lVY, lVZ;
  LONG lVRx, lVRy, lVRz;
  LONG rglVSlider[2];
  LONG lAX, lAY, lAZ;
  LONG lARx, lARy, lARz;
  LONG rglASlider[2];
  LONG lFX, lFY, lFZ;
  LONG lFRx, lFRy, lFRz;
  LONG rglFSlider[2];
};
static_assert(sizeof(DIJOYSTATE2) == 272);

struct DIPROPHEADER {
  DWORD dwSize;
  DWORD dwHeaderSize;
  DWORD dwObj;
  DWORD dwHow;
};
struct DIPROPDWORD {
  DIPROPHEADER diph;
  DWORD dwData;
};
struct DIPROPRANGE {
  DIPROPHEADER diph;
  LONG lMin;
  LONG lMax;
};
// Property identities (the platform passes these as small integers cast to a GUID pointer).
enum class DIPROP { RANGE = 4, AUTOCENTER = 9 };

struct DIDEVICEINSTANCEA {
  DWORD dwSize;
  GUID guidInstance;
  GUID guidProduct;
  DWORD dwDevType;
  CHAR tszInstanceName[MAX_PATH];
  CHAR tszProductName[MAX_PATH];
  GUID guidFFDriver;
  WORD wUsagePage;
  WORD wUsage;
};
using LPCDIDEVICEINSTANCEA = const DIDEVICEINSTANCEA*;
using LPDIENUMDEVICESCALLBACKA = BOOL (*)(LPCDIDEVICEINSTANCEA instance, LPVOID context);

struct DIENVELOPE {
  DWORD dwSize;
  DWORD dwAttackLevel;
  DWORD dwAttackTime;
  DWORD dwFadeLevel;
  DWORD dwFadeTime;
};
struct DICONSTANTFORCE {
  LONG lMagnitude;
};
struct DIPERIODIC {
  DWORD dwMagnitude;
  LONG lOffset;
  DWORD dwPhase;
  DWORD dwPeriod;
};
struct DICONDITION {
  LONG lOffset;
  LONG lPositiveCoefficient;
  LONG lNegativeCoefficient;
  DWORD dwPositiveSaturation;
  DWORD dwNegativeSaturation;
  LONG lDeadBand;
};
struct DIEFFECT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwDuration;  // microseconds, INFINITE for no end
  DWORD dwSamplePeriod;
  DWORD dwGain;
  DWORD dwTriggerButton;
  DWORD dwTriggerRepeatInterval;
  DWORD cAxes;
  DWORD* rgdwAxes;
  LONG* rglDirection;
  DIENVELOPE* lpEnvelope;
  DWORD cbTypeSpecificParams;
  LPVOID lpvTypeSpecificParams;
  DWORD dwStartDelay;
};
struct DIEFFECTINFOA {
  DWORD dwSize;
  GUID guid;
  DWORD dwEffType;
  DWORD dwStaticParams;
  DWORD dwDynamicParams;
  CHAR tszName[MAX_PATH];
};
using LPCDIEFFECTINFOA = const DIEFFECTINFOA*;
using LPDIENUMEFFECTSCALLBACKA = BOOL (*)(LPCDIEFFECTINFOA info, LPVOID context);

class IDirectInputDevice8A;

// A force-feedback effect of one device.
class IDirectInputEffect : public dinput::RefCounted {
 public:
  virtual HRESULT SetParameters(const DIEFFECT* effect, DWORD flags) = 0;
  virtual HRESULT Start(DWORD iterations, DWORD flags) = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetEffectStatus(DWORD* status) = 0;
};
constexpr DWORD DIEGES_PLAYING = 0x1;

// A device: the system keyboard, the system mouse or a game controller.
class IDirectInputDevice8A : public dinput::RefCounted {
 public:
  virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;
  virtual HRESULT GetDeviceState(DWORD size, LPVOID data) = 0;
  virtual HRESULT Poll() = 0;
  virtual HRESULT SetProperty(DIPROP property, const DIPROPHEADER* header) = 0;
  virtual HRESULT GetProperty(DIPROP property, DIPROPHEADER* header) = 0;
  virtual HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* instance) = 0;
  virtual HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACKA callback, LPVOID context, DWORD type) = 0;
  virtual HRESULT CreateEffect(REFGUID effect, const DIEFFECT* params,
                               dinput::Ref<IDirectInputEffect>* out) = 0;
};

// The interface object: makes devices and enumerates them.
class IDirectInput8A : public dinput::RefCounted {
 public:
  virtual HRESULT CreateDevice(REFGUID instance, dinput::Ref<IDirectInputDevice8A>* out) = 0;
  virtual HRESULT EnumDevices(DWORD device_class, LPDIENUMDEVICESCALLBACKA callback, LPVOID context,
                              DWORD flags) = 0;
};

// Creates the interface (version 0x0800 only).
HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, dinput::Ref<IDirectInput8A>* out);

namespace dinput::testing {

// Failure injection: the next call of the named kind fails with DIERR_GENERIC (one shot).
enum class Fail {
  kNone,
  kCreateInterface,
  kCreateKeyboard,
  kCreateMouse,
  kKeyboardDataFormat,
  kKeyboardCooperativeLevel,
  kMouseDataFormat,
  kMouseCooperativeLevel,
};
void FailNext(Fail which);

// Makes every attached controller report force feedback and play its effects into a record
// instead of SDL's haptic API, so that effect parameters can be checked without hardware.
void PretendForceFeedback(bool on);

// The last parameters each kind of pretend effect was started with.
struct EffectRecord {
  GUID type;
  DWORD duration;    // microseconds or INFINITE
  LONG direction;    // polar hundredths of a degree, or the first cartesian component
  LONG magnitude;    // constant force or periodic magnitude, damper coefficient
  DWORD period;      // periodic effects, microseconds
  DWORD saturation;  // dampers
  bool playing;
  int starts;
};
// Records of the pretend effects created since PretendForceFeedback(true), in creation order.
int PretendEffectCount();
EffectRecord PretendEffect(int index);
// The auto-centre setting last given to a controller (-1 before any).
int LastAutoCenter();

}  // namespace dinput::testing
