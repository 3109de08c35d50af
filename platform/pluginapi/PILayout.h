// The binary layout that Windows hosts pass, checked field by field: offsets
// and sizes as real hosts lay the records and tables out, on x86 and x86-64.
// A record that drifts from them fails to compile.  The tables are naturally
// aligned and hold only fixed-width integers and pointers, so every build
// checks them; the filter record is packed to 4 bytes on Windows only, so
// only the Windows builds check it.
#pragma once

#include <cstddef>

#include "PIFilter.h"
#include "PISuites.h"

#define PI_LAYOUT_X(x86, x64) (sizeof(void*) == 8 ? (x64) : (x86))
#define PI_OFFSET(type, field, x86, x64) \
    static_assert(offsetof(type, field) == PI_LAYOUT_X(x86, x64), #type "." #field " is where hosts put it")
#define PI_SIZE(type, x86, x64) \
    static_assert(sizeof(type) == PI_LAYOUT_X(x86, x64), "size of " #type " as hosts have it")

PI_OFFSET(Point, v, 0, 0);
PI_OFFSET(Point, h, 2, 2);
PI_SIZE(Point, 4, 4);

PI_OFFSET(Rect, top, 0, 0);
PI_OFFSET(Rect, left, 2, 2);
PI_OFFSET(Rect, bottom, 4, 4);
PI_OFFSET(Rect, right, 6, 6);
PI_SIZE(Rect, 8, 8);

PI_OFFSET(VPoint, v, 0, 0);
PI_OFFSET(VPoint, h, 4, 4);
PI_SIZE(VPoint, 8, 8);

PI_OFFSET(VRect, top, 0, 0);
PI_OFFSET(VRect, left, 4, 4);
PI_OFFSET(VRect, bottom, 8, 8);
PI_OFFSET(VRect, right, 12, 12);
PI_SIZE(VRect, 16, 16);

PI_OFFSET(RGBColor, red, 0, 0);
PI_OFFSET(RGBColor, green, 2, 2);
PI_OFFSET(RGBColor, blue, 4, 4);
PI_SIZE(RGBColor, 6, 6);

PI_OFFSET(PlugInMonitor, gamma, 0, 0);
PI_OFFSET(PlugInMonitor, redX, 4, 4);
PI_OFFSET(PlugInMonitor, redY, 8, 8);
PI_OFFSET(PlugInMonitor, greenX, 12, 12);
PI_OFFSET(PlugInMonitor, greenY, 16, 16);
PI_OFFSET(PlugInMonitor, blueX, 20, 20);
PI_OFFSET(PlugInMonitor, blueY, 24, 24);
PI_OFFSET(PlugInMonitor, whiteX, 28, 28);
PI_OFFSET(PlugInMonitor, whiteY, 32, 32);
PI_OFFSET(PlugInMonitor, ambient, 36, 36);
PI_SIZE(PlugInMonitor, 40, 40);

PI_OFFSET(PlatformData, hwnd, 0, 0);
PI_SIZE(PlatformData, 4, 8);

PI_OFFSET(AboutRecord, platformData, 0, 0);
PI_OFFSET(AboutRecord, sSPBasic, 4, 8);
PI_OFFSET(AboutRecord, plugInRef, 8, 16);
PI_OFFSET(AboutRecord, reserved, 12, 24);
PI_SIZE(AboutRecord, 256, 272);

PI_OFFSET(BufferProcs, bufferProcsVersion, 0, 0);
PI_OFFSET(BufferProcs, numBufferProcs, 2, 2);
PI_OFFSET(BufferProcs, allocateProc, 4, 8);
PI_OFFSET(BufferProcs, lockProc, 8, 16);
PI_OFFSET(BufferProcs, unlockProc, 12, 24);
PI_OFFSET(BufferProcs, freeProc, 16, 32);
PI_OFFSET(BufferProcs, spaceProc, 20, 40);
PI_SIZE(BufferProcs, 24, 48);

PI_OFFSET(HandleProcs, handleProcsVersion, 0, 0);
PI_OFFSET(HandleProcs, numHandleProcs, 2, 2);
PI_OFFSET(HandleProcs, newProc, 4, 8);
PI_OFFSET(HandleProcs, disposeProc, 8, 16);
PI_OFFSET(HandleProcs, getSizeProc, 12, 24);
PI_OFFSET(HandleProcs, setSizeProc, 16, 32);
PI_OFFSET(HandleProcs, lockProc, 20, 40);
PI_OFFSET(HandleProcs, unlockProc, 24, 48);
PI_OFFSET(HandleProcs, recoverSpaceProc, 28, 56);
PI_OFFSET(HandleProcs, disposeRegularHandleProc, 32, 64);
PI_SIZE(HandleProcs, 36, 72);

PI_OFFSET(ResourceProcs, resourceProcsVersion, 0, 0);
PI_OFFSET(ResourceProcs, numResourceProcs, 2, 2);
PI_OFFSET(ResourceProcs, countProc, 4, 8);
PI_OFFSET(ResourceProcs, getProc, 8, 16);
PI_OFFSET(ResourceProcs, deleteProc, 12, 24);
PI_OFFSET(ResourceProcs, addProc, 16, 32);
PI_SIZE(ResourceProcs, 20, 40);

PI_OFFSET(PropertyProcs, propertyProcsVersion, 0, 0);
PI_OFFSET(PropertyProcs, numPropertyProcs, 2, 2);
PI_OFFSET(PropertyProcs, getPropertyProc, 4, 8);
PI_OFFSET(PropertyProcs, setPropertyProc, 8, 16);
PI_SIZE(PropertyProcs, 12, 24);

PI_OFFSET(ColorServicesInfo, infoSize, 0, 0);
PI_OFFSET(ColorServicesInfo, selector, 4, 4);
PI_OFFSET(ColorServicesInfo, sourceSpace, 6, 6);
PI_OFFSET(ColorServicesInfo, resultSpace, 8, 8);
PI_OFFSET(ColorServicesInfo, resultGamutInfoValid, 10, 10);
PI_OFFSET(ColorServicesInfo, resultInGamut, 11, 11);
PI_OFFSET(ColorServicesInfo, reservedSourceSpaceInfo, 12, 16);
PI_OFFSET(ColorServicesInfo, reservedResultSpaceInfo, 16, 24);
PI_OFFSET(ColorServicesInfo, colorComponents, 20, 32);
PI_OFFSET(ColorServicesInfo, reserved, 28, 40);
PI_OFFSET(ColorServicesInfo, selectorParameter, 32, 48);
PI_SIZE(ColorServicesInfo, 36, 56);

PI_OFFSET(PSPixelMask, next, 0, 0);
PI_OFFSET(PSPixelMask, maskData, 4, 8);
PI_OFFSET(PSPixelMask, rowBytes, 8, 16);
PI_OFFSET(PSPixelMask, colBytes, 12, 20);
PI_OFFSET(PSPixelMask, maskDescription, 16, 24);
PI_SIZE(PSPixelMask, 20, 32);

PI_OFFSET(PSPixelMap, version, 0, 0);
PI_OFFSET(PSPixelMap, bounds, 4, 4);
PI_OFFSET(PSPixelMap, imageMode, 20, 20);
PI_OFFSET(PSPixelMap, rowBytes, 24, 24);
PI_OFFSET(PSPixelMap, colBytes, 28, 28);
PI_OFFSET(PSPixelMap, planeBytes, 32, 32);
PI_OFFSET(PSPixelMap, baseAddr, 36, 40);
PI_OFFSET(PSPixelMap, mat, 40, 48);
PI_OFFSET(PSPixelMap, masks, 44, 56);
PI_OFFSET(PSPixelMap, maskPhaseRow, 48, 64);
PI_OFFSET(PSPixelMap, maskPhaseCol, 52, 68);
// A version-1 map ends at maskPhaseCol; later versions add fields after it.
PI_OFFSET(PSPixelMap, pixelOverlays, 56, 72);

PI_OFFSET(ImageServicesProcs, imageServicesProcsVersion, 0, 0);
PI_OFFSET(ImageServicesProcs, numImageServicesProcs, 2, 2);
PI_OFFSET(ImageServicesProcs, interpolate1DProc, 4, 8);
PI_OFFSET(ImageServicesProcs, interpolate2DProc, 8, 16);
PI_SIZE(ImageServicesProcs, 12, 24);

PI_OFFSET(PSImagePlane, data, 0, 0);
PI_OFFSET(PSImagePlane, bounds, 4, 8);
PI_OFFSET(PSImagePlane, rowBytes, 12, 16);
PI_OFFSET(PSImagePlane, colBytes, 16, 20);
PI_SIZE(PSImagePlane, 20, 24);

PI_OFFSET(ChannelPortProcs, channelPortProcsVersion, 0, 0);
PI_OFFSET(ChannelPortProcs, numChannelPortProcs, 2, 2);
PI_OFFSET(ChannelPortProcs, readPixelsProc, 4, 8);
PI_OFFSET(ChannelPortProcs, writeBasePixelsProc, 8, 16);
PI_OFFSET(ChannelPortProcs, readPortForWritePortProc, 12, 24);
PI_SIZE(ChannelPortProcs, 16, 32);

PI_OFFSET(PixelMemoryDesc, data, 0, 0);
PI_OFFSET(PixelMemoryDesc, rowBits, 4, 8);
PI_OFFSET(PixelMemoryDesc, colBits, 8, 12);
PI_OFFSET(PixelMemoryDesc, bitOffset, 12, 16);
PI_OFFSET(PixelMemoryDesc, depth, 16, 20);
PI_SIZE(PixelMemoryDesc, 20, 24);

PI_OFFSET(PSScaling, sourceRect, 0, 0);
PI_OFFSET(PSScaling, destinationRect, 16, 16);
PI_SIZE(PSScaling, 32, 32);

PI_OFFSET(PIDescriptorParameters, descriptorParametersVersion, 0, 0);
PI_OFFSET(PIDescriptorParameters, playInfo, 2, 2);
PI_OFFSET(PIDescriptorParameters, recordInfo, 4, 4);
PI_OFFSET(PIDescriptorParameters, descriptor, 8, 8);
PI_OFFSET(PIDescriptorParameters, writeDescriptorProcs, 12, 16);
PI_OFFSET(PIDescriptorParameters, readDescriptorProcs, 16, 24);
PI_SIZE(PIDescriptorParameters, 20, 32);

PI_OFFSET(ReadDescriptorProcs, readDescriptorProcsVersion, 0, 0);
PI_OFFSET(ReadDescriptorProcs, numReadDescriptorProcs, 2, 2);
PI_OFFSET(ReadDescriptorProcs, openReadDescriptorProc, 4, 8);
PI_OFFSET(ReadDescriptorProcs, closeReadDescriptorProc, 8, 16);
PI_OFFSET(ReadDescriptorProcs, getKeyProc, 12, 24);
PI_OFFSET(ReadDescriptorProcs, getIntegerProc, 16, 32);
PI_OFFSET(ReadDescriptorProcs, getFloatProc, 20, 40);
PI_OFFSET(ReadDescriptorProcs, getUnitFloatProc, 24, 48);
PI_OFFSET(ReadDescriptorProcs, getBooleanProc, 28, 56);
PI_OFFSET(ReadDescriptorProcs, getTextProc, 32, 64);
PI_OFFSET(ReadDescriptorProcs, getAliasProc, 36, 72);
PI_OFFSET(ReadDescriptorProcs, getEnumeratedProc, 40, 80);
PI_OFFSET(ReadDescriptorProcs, getClassProc, 44, 88);
PI_OFFSET(ReadDescriptorProcs, getSimpleReferenceProc, 48, 96);
PI_OFFSET(ReadDescriptorProcs, getObjectProc, 52, 104);
PI_OFFSET(ReadDescriptorProcs, getCountProc, 56, 112);
PI_OFFSET(ReadDescriptorProcs, getStringProc, 60, 120);
PI_OFFSET(ReadDescriptorProcs, getPinnedIntegerProc, 64, 128);
PI_OFFSET(ReadDescriptorProcs, getPinnedFloatProc, 68, 136);
PI_OFFSET(ReadDescriptorProcs, getPinnedUnitFloatProc, 72, 144);
PI_SIZE(ReadDescriptorProcs, 76, 152);

PI_OFFSET(WriteDescriptorProcs, writeDescriptorProcsVersion, 0, 0);
PI_OFFSET(WriteDescriptorProcs, numWriteDescriptorProcs, 2, 2);
PI_OFFSET(WriteDescriptorProcs, openWriteDescriptorProc, 4, 8);
PI_OFFSET(WriteDescriptorProcs, closeWriteDescriptorProc, 8, 16);
PI_OFFSET(WriteDescriptorProcs, putIntegerProc, 12, 24);
PI_OFFSET(WriteDescriptorProcs, putFloatProc, 16, 32);
PI_OFFSET(WriteDescriptorProcs, putUnitFloatProc, 20, 40);
PI_OFFSET(WriteDescriptorProcs, putBooleanProc, 24, 48);
PI_OFFSET(WriteDescriptorProcs, putTextProc, 28, 56);
PI_OFFSET(WriteDescriptorProcs, putAliasProc, 32, 64);
PI_OFFSET(WriteDescriptorProcs, putEnumeratedProc, 36, 72);
PI_OFFSET(WriteDescriptorProcs, putClassProc, 40, 80);
PI_OFFSET(WriteDescriptorProcs, putSimpleReferenceProc, 44, 88);
PI_OFFSET(WriteDescriptorProcs, putObjectProc, 48, 96);
PI_OFFSET(WriteDescriptorProcs, putCountProc, 52, 104);
PI_OFFSET(WriteDescriptorProcs, putStringProc, 56, 112);
PI_OFFSET(WriteDescriptorProcs, putScopedClassProc, 60, 120);
PI_OFFSET(WriteDescriptorProcs, putScopedObjectProc, 64, 128);
PI_SIZE(WriteDescriptorProcs, 68, 136);

PI_OFFSET(SPBasicSuite, AcquireSuite, 0, 0);
PI_OFFSET(SPBasicSuite, ReleaseSuite, 4, 8);
PI_OFFSET(SPBasicSuite, IsEqual, 8, 16);
PI_OFFSET(SPBasicSuite, AllocateBlock, 12, 24);
PI_OFFSET(SPBasicSuite, FreeBlock, 16, 32);
PI_OFFSET(SPBasicSuite, ReallocateBlock, 20, 40);
PI_OFFSET(SPBasicSuite, Undefined, 24, 48);
PI_SIZE(SPBasicSuite, 28, 56);

PI_OFFSET(PSDescriptorRegistryProcs, Register, 0, 0);
PI_OFFSET(PSDescriptorRegistryProcs, Erase, 4, 8);
PI_OFFSET(PSDescriptorRegistryProcs, Get, 8, 16);
PI_SIZE(PSDescriptorRegistryProcs, 12, 24);

PI_OFFSET(PSActionDescriptorProcs, Make, 0, 0);
PI_OFFSET(PSActionDescriptorProcs, Free, 4, 8);
PI_OFFSET(PSActionDescriptorProcs, GetType, 8, 16);
PI_OFFSET(PSActionDescriptorProcs, GetKey, 12, 24);
PI_OFFSET(PSActionDescriptorProcs, HasKey, 16, 32);
PI_OFFSET(PSActionDescriptorProcs, GetCount, 20, 40);
PI_OFFSET(PSActionDescriptorProcs, IsEqual, 24, 48);
PI_OFFSET(PSActionDescriptorProcs, Erase, 28, 56);
PI_OFFSET(PSActionDescriptorProcs, Clear, 32, 64);
PI_OFFSET(PSActionDescriptorProcs, PutInteger, 36, 72);
PI_OFFSET(PSActionDescriptorProcs, PutFloat, 40, 80);
PI_OFFSET(PSActionDescriptorProcs, PutUnitFloat, 44, 88);
PI_OFFSET(PSActionDescriptorProcs, PutString, 48, 96);
PI_OFFSET(PSActionDescriptorProcs, PutBoolean, 52, 104);
PI_OFFSET(PSActionDescriptorProcs, PutList, 56, 112);
PI_OFFSET(PSActionDescriptorProcs, PutObject, 60, 120);
PI_OFFSET(PSActionDescriptorProcs, PutGlobalObject, 64, 128);
PI_OFFSET(PSActionDescriptorProcs, PutEnumerated, 68, 136);
PI_OFFSET(PSActionDescriptorProcs, PutReference, 72, 144);
PI_OFFSET(PSActionDescriptorProcs, PutClass, 76, 152);
PI_OFFSET(PSActionDescriptorProcs, PutGlobalClass, 80, 160);
PI_OFFSET(PSActionDescriptorProcs, PutAlias, 84, 168);
PI_OFFSET(PSActionDescriptorProcs, GetInteger, 88, 176);
PI_OFFSET(PSActionDescriptorProcs, GetFloat, 92, 184);
PI_OFFSET(PSActionDescriptorProcs, GetUnitFloat, 96, 192);
PI_OFFSET(PSActionDescriptorProcs, GetStringLength, 100, 200);
PI_OFFSET(PSActionDescriptorProcs, GetString, 104, 208);
PI_OFFSET(PSActionDescriptorProcs, GetBoolean, 108, 216);
PI_OFFSET(PSActionDescriptorProcs, GetList, 112, 224);
PI_OFFSET(PSActionDescriptorProcs, GetObject, 116, 232);
PI_OFFSET(PSActionDescriptorProcs, GetGlobalObject, 120, 240);
PI_OFFSET(PSActionDescriptorProcs, GetEnumerated, 124, 248);
PI_OFFSET(PSActionDescriptorProcs, GetReference, 128, 256);
PI_OFFSET(PSActionDescriptorProcs, GetClass, 132, 264);
PI_OFFSET(PSActionDescriptorProcs, GetGlobalClass, 136, 272);
PI_OFFSET(PSActionDescriptorProcs, GetAlias, 140, 280);
PI_OFFSET(PSActionDescriptorProcs, HasKeys, 144, 288);
PI_OFFSET(PSActionDescriptorProcs, PutIntegers, 148, 296);
PI_OFFSET(PSActionDescriptorProcs, GetIntegers, 152, 304);
PI_OFFSET(PSActionDescriptorProcs, AsHandle, 156, 312);
PI_OFFSET(PSActionDescriptorProcs, HandleToDescriptor, 160, 320);
PI_OFFSET(PSActionDescriptorProcs, PutZString, 164, 328);
PI_OFFSET(PSActionDescriptorProcs, GetZString, 168, 336);
PI_OFFSET(PSActionDescriptorProcs, PutData, 172, 344);
PI_OFFSET(PSActionDescriptorProcs, GetDataLength, 176, 352);
PI_OFFSET(PSActionDescriptorProcs, GetData, 180, 360);
PI_SIZE(PSActionDescriptorProcs, 184, 368);

PI_OFFSET(PSActionListProcs, Make, 0, 0);
PI_OFFSET(PSActionListProcs, Free, 4, 8);
PI_OFFSET(PSActionListProcs, GetType, 8, 16);
PI_OFFSET(PSActionListProcs, GetCount, 12, 24);
PI_OFFSET(PSActionListProcs, PutInteger, 16, 32);
PI_OFFSET(PSActionListProcs, PutFloat, 20, 40);
PI_OFFSET(PSActionListProcs, PutUnitFloat, 24, 48);
PI_OFFSET(PSActionListProcs, PutString, 28, 56);
PI_OFFSET(PSActionListProcs, PutBoolean, 32, 64);
PI_OFFSET(PSActionListProcs, PutList, 36, 72);
PI_OFFSET(PSActionListProcs, PutObject, 40, 80);
PI_OFFSET(PSActionListProcs, PutGlobalObject, 44, 88);
PI_OFFSET(PSActionListProcs, PutEnumerated, 48, 96);
PI_OFFSET(PSActionListProcs, PutReference, 52, 104);
PI_OFFSET(PSActionListProcs, PutClass, 56, 112);
PI_OFFSET(PSActionListProcs, PutGlobalClass, 60, 120);
PI_OFFSET(PSActionListProcs, PutAlias, 64, 128);
PI_OFFSET(PSActionListProcs, GetInteger, 68, 136);
PI_OFFSET(PSActionListProcs, GetFloat, 72, 144);
PI_OFFSET(PSActionListProcs, GetUnitFloat, 76, 152);
PI_OFFSET(PSActionListProcs, GetStringLength, 80, 160);
PI_OFFSET(PSActionListProcs, GetString, 84, 168);
PI_OFFSET(PSActionListProcs, GetBoolean, 88, 176);
PI_OFFSET(PSActionListProcs, GetList, 92, 184);
PI_OFFSET(PSActionListProcs, GetObject, 96, 192);
PI_OFFSET(PSActionListProcs, GetGlobalObject, 100, 200);
PI_OFFSET(PSActionListProcs, GetEnumerated, 104, 208);
PI_OFFSET(PSActionListProcs, GetReference, 108, 216);
PI_OFFSET(PSActionListProcs, GetClass, 112, 224);
PI_OFFSET(PSActionListProcs, GetGlobalClass, 116, 232);
PI_OFFSET(PSActionListProcs, GetAlias, 120, 240);
PI_OFFSET(PSActionListProcs, PutIntegers, 124, 248);
PI_OFFSET(PSActionListProcs, GetIntegers, 128, 256);
PI_OFFSET(PSActionListProcs, PutData, 132, 264);
PI_OFFSET(PSActionListProcs, GetDataLength, 136, 272);
PI_OFFSET(PSActionListProcs, GetData, 140, 280);
PI_OFFSET(PSActionListProcs, PutZString, 144, 288);
PI_OFFSET(PSActionListProcs, GetZString, 148, 296);
PI_SIZE(PSActionListProcs, 152, 304);

PI_OFFSET(PSActionReferenceProcs, Make, 0, 0);
PI_OFFSET(PSActionReferenceProcs, Free, 4, 8);
PI_OFFSET(PSActionReferenceProcs, GetForm, 8, 16);
PI_OFFSET(PSActionReferenceProcs, GetDesiredClass, 12, 24);
PI_OFFSET(PSActionReferenceProcs, PutName, 16, 32);
PI_OFFSET(PSActionReferenceProcs, PutIndex, 20, 40);
PI_OFFSET(PSActionReferenceProcs, PutIdentifier, 24, 48);
PI_OFFSET(PSActionReferenceProcs, PutOffset, 28, 56);
PI_OFFSET(PSActionReferenceProcs, PutEnumerated, 32, 64);
PI_OFFSET(PSActionReferenceProcs, PutProperty, 36, 72);
PI_OFFSET(PSActionReferenceProcs, PutClass, 40, 80);
PI_OFFSET(PSActionReferenceProcs, GetNameLength, 44, 88);
PI_OFFSET(PSActionReferenceProcs, GetName, 48, 96);
PI_OFFSET(PSActionReferenceProcs, GetIndex, 52, 104);
PI_OFFSET(PSActionReferenceProcs, GetIdentifier, 56, 112);
PI_OFFSET(PSActionReferenceProcs, GetOffset, 60, 120);
PI_OFFSET(PSActionReferenceProcs, GetEnumerated, 64, 128);
PI_OFFSET(PSActionReferenceProcs, GetProperty, 68, 136);
PI_OFFSET(PSActionReferenceProcs, GetContainer, 72, 144);
PI_SIZE(PSActionReferenceProcs, 76, 152);

PI_OFFSET(PSHandleSuite1, New, 0, 0);
PI_OFFSET(PSHandleSuite1, Dispose, 4, 8);
PI_OFFSET(PSHandleSuite1, SetLock, 8, 16);
PI_OFFSET(PSHandleSuite1, GetSize, 12, 24);
PI_OFFSET(PSHandleSuite1, SetSize, 16, 32);
PI_OFFSET(PSHandleSuite1, RecoverSpace, 20, 40);
PI_SIZE(PSHandleSuite1, 24, 48);

PI_OFFSET(PSHandleSuite2, New, 0, 0);
PI_OFFSET(PSHandleSuite2, Dispose, 4, 8);
PI_OFFSET(PSHandleSuite2, DisposeRegularHandle, 8, 16);
PI_OFFSET(PSHandleSuite2, SetLock, 12, 24);
PI_OFFSET(PSHandleSuite2, GetSize, 16, 32);
PI_OFFSET(PSHandleSuite2, SetSize, 20, 40);
PI_OFFSET(PSHandleSuite2, RecoverSpace, 24, 48);
PI_SIZE(PSHandleSuite2, 28, 56);

PI_OFFSET(PSBufferSuite1, New, 0, 0);
PI_OFFSET(PSBufferSuite1, Dispose, 4, 8);
PI_OFFSET(PSBufferSuite1, GetSize, 8, 16);
PI_OFFSET(PSBufferSuite1, GetSpace, 12, 24);
PI_SIZE(PSBufferSuite1, 16, 32);

PI_OFFSET(PSUIHooksSuite1, processEvent, 0, 0);
PI_OFFSET(PSUIHooksSuite1, displayPixels, 4, 8);
PI_OFFSET(PSUIHooksSuite1, progressBar, 8, 16);
PI_OFFSET(PSUIHooksSuite1, testAbort, 12, 24);
PI_OFFSET(PSUIHooksSuite1, MainAppWindow, 16, 32);
PI_OFFSET(PSUIHooksSuite1, SetCursor, 20, 40);
PI_OFFSET(PSUIHooksSuite1, TickCount, 24, 48);
PI_OFFSET(PSUIHooksSuite1, GetPluginName, 28, 56);
PI_SIZE(PSUIHooksSuite1, 32, 64);

PI_OFFSET(ASZStringSuite1, MakeFromUnicode, 0, 0);
PI_OFFSET(ASZStringSuite1, MakeFromCString, 4, 8);
PI_OFFSET(ASZStringSuite1, MakeFromPascalString, 8, 16);
PI_OFFSET(ASZStringSuite1, MakeRomanizationOfInteger, 12, 24);
PI_OFFSET(ASZStringSuite1, MakeRomanizationOfFixed, 16, 32);
PI_OFFSET(ASZStringSuite1, MakeRomanizationOfDouble, 20, 40);
PI_OFFSET(ASZStringSuite1, GetEmpty, 24, 48);
PI_OFFSET(ASZStringSuite1, Copy, 28, 56);
PI_OFFSET(ASZStringSuite1, Replace, 32, 64);
PI_OFFSET(ASZStringSuite1, TrimEllipsis, 36, 72);
PI_OFFSET(ASZStringSuite1, TrimSpaces, 40, 80);
PI_OFFSET(ASZStringSuite1, RemoveAccelerators, 44, 88);
PI_OFFSET(ASZStringSuite1, AddRef, 48, 96);
PI_OFFSET(ASZStringSuite1, Release, 52, 104);
PI_OFFSET(ASZStringSuite1, IsAllWhiteSpace, 56, 112);
PI_OFFSET(ASZStringSuite1, IsEmpty, 60, 120);
PI_OFFSET(ASZStringSuite1, WillReplace, 64, 128);
PI_OFFSET(ASZStringSuite1, LengthAsUnicodeCString, 68, 136);
PI_OFFSET(ASZStringSuite1, AsUnicodeCString, 72, 144);
PI_OFFSET(ASZStringSuite1, LengthAsCString, 76, 152);
PI_OFFSET(ASZStringSuite1, AsCString, 80, 160);
PI_OFFSET(ASZStringSuite1, LengthAsPascalString, 84, 168);
PI_OFFSET(ASZStringSuite1, AsPascalString, 88, 176);
PI_SIZE(ASZStringSuite1, 92, 184);

// Booleans: one byte in the record and the procedures, four in the basic
// and string suites.
static_assert(sizeof(Boolean) == 1 && sizeof(ASBoolean) == 4, "the host's two booleans");
static_assert(kSPSuiteNotFoundError == SPErr(FourCC("S!Fd")), "the basic suite's not-found result");

#if defined(_WIN32)

PI_OFFSET(BigDocumentStruct, PluginUsing32BitCoordinates, 0, 0);
PI_OFFSET(BigDocumentStruct, imageSize32, 4, 4);
PI_OFFSET(BigDocumentStruct, filterRect32, 12, 12);
PI_OFFSET(BigDocumentStruct, inRect32, 28, 28);
PI_OFFSET(BigDocumentStruct, outRect32, 44, 44);
PI_OFFSET(BigDocumentStruct, maskRect32, 60, 60);
PI_OFFSET(BigDocumentStruct, floatCoord32, 76, 76);
PI_OFFSET(BigDocumentStruct, wholeSize32, 84, 84);
PI_SIZE(BigDocumentStruct, 92, 92);

// The record as a 6.0 host declares it ends with 54 reserved bytes where
// later hosts continue with hasImageScrap.
PI_OFFSET(FilterRecord, serial, 0, 0);
PI_OFFSET(FilterRecord, abortProc, 4, 4);
PI_OFFSET(FilterRecord, progressProc, 8, 12);
PI_OFFSET(FilterRecord, parameters, 12, 20);
PI_OFFSET(FilterRecord, imageSize, 16, 28);
PI_OFFSET(FilterRecord, planes, 20, 32);
PI_OFFSET(FilterRecord, filterRect, 22, 34);
PI_OFFSET(FilterRecord, background, 30, 42);
PI_OFFSET(FilterRecord, foreground, 36, 48);
PI_OFFSET(FilterRecord, maxSpace, 44, 56);
PI_OFFSET(FilterRecord, bufferSpace, 48, 60);
PI_OFFSET(FilterRecord, inRect, 52, 64);
PI_OFFSET(FilterRecord, inLoPlane, 60, 72);
PI_OFFSET(FilterRecord, inHiPlane, 62, 74);
PI_OFFSET(FilterRecord, outRect, 64, 76);
PI_OFFSET(FilterRecord, outLoPlane, 72, 84);
PI_OFFSET(FilterRecord, outHiPlane, 74, 86);
PI_OFFSET(FilterRecord, inData, 76, 88);
PI_OFFSET(FilterRecord, inRowBytes, 80, 96);
PI_OFFSET(FilterRecord, outData, 84, 100);
PI_OFFSET(FilterRecord, outRowBytes, 88, 108);
PI_OFFSET(FilterRecord, isFloating, 92, 112);
PI_OFFSET(FilterRecord, haveMask, 93, 113);
PI_OFFSET(FilterRecord, autoMask, 94, 114);
PI_OFFSET(FilterRecord, maskRect, 96, 116);
PI_OFFSET(FilterRecord, maskData, 104, 124);
PI_OFFSET(FilterRecord, maskRowBytes, 108, 132);
PI_OFFSET(FilterRecord, backColor, 112, 136);
PI_OFFSET(FilterRecord, foreColor, 116, 140);
PI_OFFSET(FilterRecord, hostSig, 120, 144);
PI_OFFSET(FilterRecord, hostProcs, 124, 148);
PI_OFFSET(FilterRecord, imageMode, 128, 156);
PI_OFFSET(FilterRecord, imageHRes, 132, 160);
PI_OFFSET(FilterRecord, imageVRes, 136, 164);
PI_OFFSET(FilterRecord, floatCoord, 140, 168);
PI_OFFSET(FilterRecord, wholeSize, 144, 172);
PI_OFFSET(FilterRecord, monitor, 148, 176);
PI_OFFSET(FilterRecord, platformData, 188, 216);
PI_OFFSET(FilterRecord, bufferProcs, 192, 224);
PI_OFFSET(FilterRecord, resourceProcs, 196, 232);
PI_OFFSET(FilterRecord, processEvent, 200, 240);
PI_OFFSET(FilterRecord, displayPixels, 204, 248);
PI_OFFSET(FilterRecord, handleProcs, 208, 256);
PI_OFFSET(FilterRecord, supportsDummyChannels, 212, 264);
PI_OFFSET(FilterRecord, supportsAlternateLayouts, 213, 265);
PI_OFFSET(FilterRecord, wantLayout, 214, 266);
PI_OFFSET(FilterRecord, filterCase, 216, 268);
PI_OFFSET(FilterRecord, dummyPlaneValue, 218, 270);
PI_OFFSET(FilterRecord, premiereHook, 220, 272);
PI_OFFSET(FilterRecord, advanceState, 224, 280);
PI_OFFSET(FilterRecord, supportsAbsolute, 228, 288);
PI_OFFSET(FilterRecord, wantsAbsolute, 229, 289);
PI_OFFSET(FilterRecord, getPropertyObsolete, 232, 292);
PI_OFFSET(FilterRecord, cannotUndo, 236, 300);
PI_OFFSET(FilterRecord, supportsPadding, 237, 301);
PI_OFFSET(FilterRecord, inputPadding, 238, 302);
PI_OFFSET(FilterRecord, outputPadding, 240, 304);
PI_OFFSET(FilterRecord, maskPadding, 242, 306);
PI_OFFSET(FilterRecord, samplingSupport, 244, 308);
PI_OFFSET(FilterRecord, reservedByte, 245, 309);
PI_OFFSET(FilterRecord, inputRate, 248, 312);
PI_OFFSET(FilterRecord, maskRate, 252, 316);
PI_OFFSET(FilterRecord, colorServices, 256, 320);
PI_OFFSET(FilterRecord, inLayerPlanes, 260, 328);
PI_OFFSET(FilterRecord, inTransparencyMask, 262, 330);
PI_OFFSET(FilterRecord, inLayerMasks, 264, 332);
PI_OFFSET(FilterRecord, inInvertedLayerMasks, 266, 334);
PI_OFFSET(FilterRecord, inNonLayerPlanes, 268, 336);
PI_OFFSET(FilterRecord, outLayerPlanes, 270, 338);
PI_OFFSET(FilterRecord, outTransparencyMask, 272, 340);
PI_OFFSET(FilterRecord, outLayerMasks, 274, 342);
PI_OFFSET(FilterRecord, outInvertedLayerMasks, 276, 344);
PI_OFFSET(FilterRecord, outNonLayerPlanes, 278, 346);
PI_OFFSET(FilterRecord, absLayerPlanes, 280, 348);
PI_OFFSET(FilterRecord, absTransparencyMask, 282, 350);
PI_OFFSET(FilterRecord, absLayerMasks, 284, 352);
PI_OFFSET(FilterRecord, absInvertedLayerMasks, 286, 354);
PI_OFFSET(FilterRecord, absNonLayerPlanes, 288, 356);
PI_OFFSET(FilterRecord, inPreDummyPlanes, 290, 358);
PI_OFFSET(FilterRecord, inPostDummyPlanes, 292, 360);
PI_OFFSET(FilterRecord, outPreDummyPlanes, 294, 362);
PI_OFFSET(FilterRecord, outPostDummyPlanes, 296, 364);
PI_OFFSET(FilterRecord, inColumnBytes, 300, 368);
PI_OFFSET(FilterRecord, inPlaneBytes, 304, 372);
PI_OFFSET(FilterRecord, outColumnBytes, 308, 376);
PI_OFFSET(FilterRecord, outPlaneBytes, 312, 380);
PI_OFFSET(FilterRecord, imageServicesProcs, 316, 384);
PI_OFFSET(FilterRecord, propertyProcs, 320, 392);
PI_OFFSET(FilterRecord, inTileHeight, 324, 400);
PI_OFFSET(FilterRecord, inTileWidth, 326, 402);
PI_OFFSET(FilterRecord, inTileOrigin, 328, 404);
PI_OFFSET(FilterRecord, absTileHeight, 332, 408);
PI_OFFSET(FilterRecord, absTileWidth, 334, 410);
PI_OFFSET(FilterRecord, absTileOrigin, 336, 412);
PI_OFFSET(FilterRecord, outTileHeight, 340, 416);
PI_OFFSET(FilterRecord, outTileWidth, 342, 418);
PI_OFFSET(FilterRecord, outTileOrigin, 344, 420);
PI_OFFSET(FilterRecord, maskTileHeight, 348, 424);
PI_OFFSET(FilterRecord, maskTileWidth, 350, 426);
PI_OFFSET(FilterRecord, maskTileOrigin, 352, 428);
PI_OFFSET(FilterRecord, descriptorParameters, 356, 432);
PI_OFFSET(FilterRecord, errorString, 360, 440);
PI_OFFSET(FilterRecord, channelPortProcs, 364, 448);
PI_OFFSET(FilterRecord, documentInfo, 368, 456);
PI_OFFSET(FilterRecord, sSPBasic, 372, 464);
PI_OFFSET(FilterRecord, plugInRef, 376, 472);
PI_OFFSET(FilterRecord, depth, 380, 480);
PI_OFFSET(FilterRecord, iccProfileData, 384, 484);
PI_OFFSET(FilterRecord, iccProfileSize, 388, 492);
PI_OFFSET(FilterRecord, canUseICCProfiles, 392, 496);
PI_OFFSET(FilterRecord, hasImageScrap, 396, 500);
PI_OFFSET(FilterRecord, bigDocumentData, 400, 504);
PI_OFFSET(FilterRecord, input3DScene, 404, 512);
PI_OFFSET(FilterRecord, output3DScene, 408, 520);
PI_OFFSET(FilterRecord, createNewLayer, 412, 528);
PI_OFFSET(FilterRecord, iCCWorkingProfileData, 416, 532);
PI_OFFSET(FilterRecord, iCCWorkingProfileSize, 420, 540);
PI_OFFSET(FilterRecord, bufferSpace64, 424, 544);
PI_OFFSET(FilterRecord, maxSpace64, 432, 552);
PI_OFFSET(FilterRecord, reserved, 440, 560);
PI_SIZE(FilterRecord, 488, 608);
static_assert(alignof(FilterRecord) == 4, "the filter record is packed to 4 bytes");

#endif

#undef PI_SIZE
#undef PI_OFFSET
#undef PI_LAYOUT_X
