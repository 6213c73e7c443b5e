// Dispatch ids of the image engine control and of the engine dialog control.
// Which member each control id reaches is kept by the control's feature
// areas (control_dispatch.h); ImageControl::dispatchTable() lists them all.
#pragma once

namespace qova::engine::dispid {

// Image engine control
constexpr int BitmapHandle = 1;
constexpr int ProgressEnabled = 7;
constexpr int BitmapWidth = 10;
constexpr int BitmapHeight = 11;
constexpr int BitsPerPixel = 12;
constexpr int InfoWidth = 40;
constexpr int InfoHeight = 41;
constexpr int InfoBits = 42;
constexpr int InfoSize = 44;
constexpr int CoordinateUnit = 56;
constexpr int ControlWidthPx = 60;
constexpr int ControlHeightPx = 61;
constexpr int LoadOption = 132;
constexpr int BitmapListIndex = 133;
constexpr int BitmapListCount = 134;
constexpr int PreLoad = 148;
constexpr int AnimationLoop = 149;
constexpr int ImageSource = 153;
constexpr int ViewMode = 154;
constexpr int PanWindowLeft = 254;
constexpr int PanWindowTop = 255;
constexpr int PanWindowWidth = 256;
constexpr int PanWindowHeight = 257;
constexpr int PanWindowTitle = 259;
constexpr int Repaint = 285;
constexpr int SaveFile = 289;
constexpr int Greyscale = 275;
constexpr int CreateBitmap = 302;
constexpr int Resize = 307;
constexpr int CopyToClipboard = 308;
constexpr int Load = 310;
constexpr int SetDisplayRect = 323;
constexpr int SetDisplayClipRect = 324;
constexpr int SetSourceRect = 325;
constexpr int SetSourceClipRect = 326;
constexpr int Combine = 322;
constexpr int SaveFileWithStamp = 330;
constexpr int InsertBitmapListItem = 392;
constexpr int ShowPanWindow = 440;

// Processing (image_control_ops.cpp)
constexpr int AverageFilter = 270;
constexpr int MedianFilter = 271;
constexpr int Contrast = 272;
constexpr int HistogramEqualise = 276;
constexpr int Hue = 277;
constexpr int Brightness = 278;
constexpr int Invert = 279;
constexpr int Sharpen = 282;
constexpr int Saturation = 283;
constexpr int Mosaic = 286;
constexpr int SpatialFilter = 287;
constexpr int Posterize = 290;
constexpr int Emboss = 294;
constexpr int AddNoise = 295;
constexpr int IntensityDetect = 296;
constexpr int StretchIntensity = 298;
constexpr int GammaCorrect = 300;
constexpr int Halftone = 306;
constexpr int ComputeHistogram = 316;
constexpr int ColourResolution = 317;
constexpr int HistogramContrast = 328;
constexpr int CountColours = 391;
constexpr int Solarize = 408;
constexpr int Oilify = 412;
constexpr int HistogramCount = 445;
// The engine dialog's parameter dialogs (processing)
constexpr int DlgBitmap = 11;
constexpr int DlgColourBits = 12;
constexpr int DlgPaletteKind = 13;
constexpr int DlgDithering = 14;
constexpr int DlgShowColourResolution = 15;
constexpr int DlgEmbossValue1 = 44;
constexpr int DlgEmbossValue2 = 45;
constexpr int DlgShowEmboss = 46;
constexpr int DlgNoiseValue1 = 47;
constexpr int DlgNoiseValue2 = 48;
constexpr int DlgShowAddNoise = 49;
constexpr int DlgGammaValue = 50;
constexpr int DlgShowGamma = 51;
constexpr int DlgDetectLow = 52;
constexpr int DlgDetectHigh = 53;
constexpr int DlgShowIntensityDetect = 54;
constexpr int DlgEffectValue = 55;
constexpr int DlgShowEffect = 57;
constexpr int DlgFilterNumber = 58;
constexpr int DlgShowSpatialFilter = 60;

// Regions and the floater (image_control_regions.cpp)
constexpr int DisplayLeft = 21;
constexpr int DisplayTop = 22;
constexpr int DisplayWidth = 23;
constexpr int DisplayHeight = 24;
constexpr int SourceWidth = 31;
constexpr int SourceHeight = 32;
constexpr int GreyscaleFlag = 98;
constexpr int RegionPresent = 99;
constexpr int RegionLeft = 100;
constexpr int RegionTop = 101;
constexpr int RegionWidth = 102;
constexpr int RegionHeight = 103;
constexpr int RegionTrackingShape = 104;
constexpr int RegionFrameStyle = 105;
constexpr int FloaterBitmap = 106;
constexpr int FloaterVisible = 107;
constexpr int FloaterLeft = 108;
constexpr int FloaterTop = 109;
constexpr int FloaterWidth = 110;
constexpr int FloaterHeight = 111;
constexpr int FloaterBitmapWidth = 116;
constexpr int FloaterBitmapHeight = 117;
constexpr int Flip = 274;
constexpr int Reverse = 284;
constexpr int Rotate = 293;
constexpr int Fill = 297;
constexpr int Shear = 301;
constexpr int DeleteRegionHandle = 360;
constexpr int FreeRegion = 361;
constexpr int RegionHandle = 363;
constexpr int PointInRegion = 364;
constexpr int OffsetRegion = 365;
constexpr int SetRegionFromHandle = 367;
constexpr int FloaterRegionHandle = 372;
constexpr int SetFloaterDisplayRect = 373;
constexpr int RepaintRect = 376;

// Animation playback (image_control_animation.cpp)
constexpr int AnimationPlaying = 135;
constexpr int FrameLeft = 136;
constexpr int FrameTop = 137;
constexpr int FrameDelay = 138;
constexpr int AnimationWidth = 139;
constexpr int AnimationHeight = 140;
constexpr int AnimationBackColor = 141;
constexpr int AnimationBits = 142;
constexpr int FrameTransparent = 143;
constexpr int FrameTransparentColour = 144;
constexpr int FrameDisposal = 145;
// Members the program calls by name; numbers of our own for the table.
constexpr int AnimationPalette = 396;   // (index) reads; (index, colour) writes
constexpr int BitmapPalette = 397;      // the same for the frame shown
constexpr int ColourResList = 398;      // (bits, options, dither, colours)

// Printing, scanning, capture (image_control_output.cpp)
constexpr int AcquireTwain = 280;
constexpr int SelectTwainSource = 281;
constexpr int RenderToDevice = 303;
constexpr int Capture = 318;

// Display preferences (image_control_display.cpp)
constexpr int DitheringMethod = 6;
constexpr int PaintOption8 = 8;
constexpr int PaintPalette = 19;
// Data binding (image_control_data.cpp)
constexpr int DataField = 91;
constexpr int DataStorageBits = 92;
constexpr int DataStorageFormat = 93;
constexpr int DataStorageQuality = 94;
constexpr int DataBindingOption = 95;

// Engine dialog control
constexpr int DlgAngle = 1;        // rotate/shear dialog: angle in hundredths of a degree
constexpr int DlgAngleOption = 3;  // rotate: enlarge; shear: horizontal
constexpr int DlgShowRotate = 2;   // the rotate/shear dialog (flags 3 rotate, 4 shear)
constexpr int DlgFillColour = 114; // rotate/shear dialog: colour of the uncovered corners
constexpr int DlgFlags = 5;
constexpr int DlgOption16 = 16;
constexpr int DlgTitle = 17;
constexpr int DlgFileName = 18;
constexpr int DlgFilter = 20;
constexpr int DlgPage = 24;
constexpr int DlgLoadOption = 25;
constexpr int DlgShowOpen = 28;
constexpr int DlgBits = 31;
constexpr int DlgFormat = 32;
constexpr int DlgQuality = 33;
constexpr int DlgSaveOption = 34;
constexpr int DlgStamp = 37;
constexpr int DlgStampBits = 38;
constexpr int DlgStampWidth = 39;
constexpr int DlgStampHeight = 40;
constexpr int DlgShowSave = 42;
constexpr int DlgSaveSwitch = 43;

struct Entry {
    int id;
    const char* member;
};

}  // namespace qova::engine::dispid
