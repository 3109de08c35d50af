// Typed access to the host's properties through the property suite, and the
// conversions between host handles and text that the text properties need
// (through the handle suite).  Every accessor returns the host's 16-bit
// result and writes its outputs only on success; a suite the host does not
// give makes it return errPlugInHostInsufficient.  Nothing throws.
#pragma once

#include <string>

#include "PIFilter.h"

struct PIInterfaceColor {
    uint32 primary;
    uint32 secondary;
};

OSErr PIGetHostVersion(int32& major, int32& minor, int32& fix);
OSErr PIGetPlayInProgress(bool& inProgress);
OSErr PIGetEXIFData(Handle& data);
OSErr PISetEXIFData(Handle data);
OSErr PIGetShowSliceNumbers(bool& show);
OSErr PIGetSelectedSliceIndex(int32& index);
OSErr PISetSelectedSliceIndex(int32 index);
OSErr PIGetSelectedSliceID(int32& id);
OSErr PISetSelectedSliceID(int32 id);
OSErr PIGetSlices(Handle& slices);
OSErr PISetSlices(Handle slices);
OSErr PIGetPaintCursorKind(int32& kind);
OSErr PIGetToolTips(bool& show);
OSErr PIGetDocumentWidth(int32& width);
OSErr PIGetDocumentHeight(int32& height);
OSErr PIGetWatermark(bool& present);
OSErr PISetWatermark();
OSErr PIGetCopyright(bool& copyrighted);
OSErr PISetCopyright(bool copyrighted);
OSErr PIGetWatchSuspension(int32& level);
OSErr PISetWatchSuspension(int32 level);
OSErr PIGetRulerUnits(int32& units);
OSErr PIGetInterpolationMethod(int32& method);
OSErr PIGetCaption(Handle& caption);
OSErr PISetCaption(Handle caption);
OSErr PIGetPathContentsAI(int32 index, Handle& contents);
OSErr PIGetPathContents(int32 index, Handle& contents);
OSErr PIGetTargetPathIndex(int32& index);
OSErr PIGetClippingPathIndex(int32& index);
OSErr PIGetWorkPathIndex(int32& index);
OSErr PIGetNumberPaths(int32& count);
OSErr PIGetTargetLayerIndex(int32& index);
OSErr PIGetNumberLayers(int32& count);
OSErr PIGetTargetLayerLock(bool& transparency, bool& composite, bool& position);
OSErr PIGetImageMode(int32& mode);
OSErr PIGetNumberChannels(int32& count);
// Fixed-point pairs: two properties, the first (horizontal, major) first.
// A set takes values in [-32768, 32768); paramErr for any other or NaN, and
// then nothing is set.
OSErr PIGetBigNudge(double& horizontal, double& vertical);
OSErr PISetBigNudge(double horizontal, double vertical);
OSErr PIGetRulerOrigin(double& horizontal, double& vertical);
OSErr PISetRulerOrigin(double horizontal, double vertical);
OSErr PIGetGrid(double& major, double& minor);
OSErr PISetGrid(double major, double minor);
OSErr PIGetUnicodeStr255Name(Str255 name);
OSErr PIGetInterfaceColor(int32 kind, PIInterfaceColor& color);
OSErr PIGetSliceLineColor(RGBColor& color);
OSErr PIGetXMP(std::string& xmp);
OSErr PISetXMP(const std::string& xmp);
OSErr PIGetURL(std::string& url);
OSErr PISetURL(const std::string& url);
OSErr PIGetDocumentName(std::string& name);
OSErr PIGetDocumentName(std::wstring& name, bool withExtension);
OSErr PIGetPathName(int32 index, std::string& name);
OSErr PIGetPathName(int32 index, std::wstring& name);
OSErr PIGetLayerName(int32 index, std::string& name);
OSErr PIGetLayerName(int32 index, std::wstring& name);
OSErr PIGetChannelName(int32 index, std::string& name);
OSErr PIGetChannelName(int32 index, std::wstring& name);

// 16.16 fixed point, signed.  FixedFromDouble is paramErr for NaN or a value
// outside [-32768, 32768).
double DoubleFromFixed(Fixed value);
OSErr FixedFromDouble(double value, Fixed& fixed);

// A length-prefixed string from a handle: at most 254 characters, the length
// no more than the bytes copied less one, a zero byte after the last.
OSErr HandleToString(Handle h, Str255 s);
// Text is one byte per character; wide text is UTF-16 in the handle (two
// bytes per unit, characters above U+FFFF as surrogate pairs).
OSErr HandleToString(Handle h, std::string& text);
OSErr HandleToString(Handle h, std::wstring& text);
// h is cleared, then a new handle holds the text; errPlugInHostInsufficient
// for an empty text or when the host gives no handle.
OSErr StringToHandle(const std::string& text, Handle& h);
OSErr StringToHandle(const std::wstring& text, Handle& h);
