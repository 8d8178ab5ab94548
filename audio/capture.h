// Sound capture: records the audio input as mono 16-bit PCM, either into the raw file
// PCMRECORDING in the user's folder or into a caller's memory buffer whose start always holds the
// newest data. The sound output is closed while recording and reopened when it stops.
//
// A capture thread copies the new data whenever the capture position reaches the buffer's start or
// middle, and once more when capture stops. Start and stop run on the main thread; the copy is
// serialised so the final copy of a stop never races the thread's.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int SND_MAX_INPUT_DEVICES = 8;
constexpr int SND_INPUT_NAME_BYTES = 256;
// Headerless signed 16-bit little-endian mono samples at the recording rate, in capture order.
// The rate is not stored in the file.
#define PCMRECORDING "cdrec.pcm"
// Exit code of the capture thread.
constexpr int SND_CAPTURE_THREAD_EXIT = 666;

extern int g_iInputDeviceCount;
extern char g_aszInputDeviceNames[SND_MAX_INPUT_DEVICES][SND_INPUT_NAME_BYTES];
extern std::atomic<int32_t> g_bRecording;
// Bytes captured since the recording started (the message box shows it as time).
extern std::atomic<int32_t> g_iRecordedBytes;
extern int32_t g_iCaptureBufferBytes;
extern int32_t g_iCaptureRate;
extern int32_t g_iCaptureReadPos; // next byte of the capture buffer to copy
extern int32_t g_iCaptureLastResult;

// Lists the input devices that offer mono 16-bit at 44100, 22050 or 11025 Hz (the first 8).
// Entry 0 is the system's default capture device. Returns 0.
int Snd_EnumInputDevices();
// Adds one listed platform device to the list when it offers a usable rate. 1 to go on, 0 to stop.
int Snd_InputDeviceCallback(int platformDevice, const char *description, const char *module);
int Snd_GetInputDeviceCount();
// Copies the 256-byte name of entry index. 0, or -1 (destination emptied) when out of range.
int Snd_GetInputDeviceName(char *destination, int index);

// Opens entry device (one that is no longer listed gives entry 0) with a buffer of bytes at rate.
// 0, or -1.
int Snd_OpenCaptureDevice(int device, int bytes, int rate);
// -1 when the open device lacks the rate (of 44100, 22050, 11025); 0 when made.
int Snd_CreateCaptureBuffer(int bytes);
void Snd_ReleaseCaptureBuffer();
void Snd_CloseCaptureDevice();

// Records at rate: toFile writes PCMRECORDING (a buffer of two seconds); otherwise into memory
// (bytes long, and the capture buffer is the same size). Closes the sound output first. 0, or
// -1 with nothing recording and the output open again.
int Snd_StartRecording(int rate, void *memory, int bytes, int toFile);
// Stops capture, copies the tail, ends the thread, closes the file and the device, and reopens
// the output. Returns the reopen's result (0 when nothing was recording).
int Snd_StopRecording();

// Copies what was captured since the last copy to the file or the memory buffer.
void Snd_CaptureCopy();
// Runs reader(context) while no copy writes the memory buffer, for a reader of that buffer on
// another thread. The capture side holds this lock for one memcpy only and takes no other lock
// under it, so a caller may hold the mix lock (g_csMix before this one, never the reverse).
void Snd_ReadCaptureMemory(void (*reader)(void *context), void *context);
// Ends the capture thread and waits for it.
void Snd_StopCaptureThread();
// The thread's exit code, or 0 while it runs or never ran.
int Snd_CaptureThreadExitCode();
