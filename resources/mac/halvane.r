/* Halvane's Mac registration.  Its bundle is PowerPC code.  Title and
   registry key as in halvane/halvane_product.cpp, terminology as in
   resources/halvane.rc (test_resources compares them). */
#define VX_PRODUCT_TITLE "Halvane v1.0.0"
#define VX_UNIQUE_STRING "3f9c2a64-8d1b-4e7a-b5c3-6a0e9d2f4b71"
#define VX_ENTRY_POINT EntryPointPowerPC

#include "vexlor_registration.r"

resource 'aete' (VX_REGISTRATION_ID) {
    1, 0,                                       /* version 1.0 */
    0, 0,                                       /* language, script */
    {
        VX_AETE_SUITE,
        {
            VX_PRODUCT_TITLE, "Noise reduction plug-in", VX_AETE_EVENT_SIGNATURE,
            {   /* name, key, type, description, flags */
                "Overall noise level", 'brgH', 'doub', "Overall noise level", 0x0000;
                "Highlights noise level", 'conT', 'doub', "Highlights noise level", 0x0000;
                "Very fine noise level", 'bAdj', 'doub', "Very fine noise level", 0x0000;
                "Fine noise level", 'satU', 'doub', "Fine noise level", 0x0000;
                "Broad noise level", 'lumC', 'doub', "Broad noise level", 0x0000;
                "Very broad noise level", 'Rcoe', 'doub', "Very broad noise level", 0x0000;
                "Mix in original B&W detail", 'Gcoe', 'doub', "Mix in original B&W detail", 0x0000;
                "Mix in original color detail", 'Bcoe', 'doub', "Mix in original color detail", 0x0000;
                "Very fine detail NR", 'Dbai', 'doub', "Very fine detail NR", 0x0000;
                "Fine detail NR", 'Dbaj', 'doub', "Fine detail NR", 0x0000;
                "Broad detail NR", 'Dbak', 'doub', "Broad detail NR", 0x0000;
                "Very broad detail NR", 'Dbal', 'doub', "Very broad detail NR", 0x0000;
                "Sharpening (B&W detail)", 'Dbam', 'doub', "Sharpening (B&W detail)", 0x0000;
                "Sharpening (Color detail)", 'Dbat', 'doub', "Sharpening (Color detail)", 0x0000;
                "Very fine sharpening", 'Dban', 'doub', "Very fine sharpening", 0x0000;
                "Fine sharpening", 'Dbao', 'doub', "Fine sharpening", 0x0000;
                "Broad sharpening", 'Dbap', 'doub', "Broad sharpening", 0x0000;
                "Very broad sharpening", 'Dbaq', 'doub', "Very broad sharpening", 0x0000;
                "Highlight protect threshold", 'Dbar', 'doub', "Highlight protect threshold", 0x0000;
                "Highlight protect feather", 'Dbas', 'doub', "Highlight protect feather", 0x0000;
                "Edge Smoothing", 'Dbau', 'doub', "Edge Smoothing", 0x0000;
                "digital auto-profiling", 'Blad', 'bool', "Automatically profile digital images", 0x0000;
                "film auto-profiling", 'Blae', 'bool', "Automatically profile scanned film images", 0x0000;
                "automatic profiling even if GUI does not load", 'Blah', 'bool', "Automatically profile images", 0x0000;
                "cleaner smooth areas", 'Blai', 'bool', "Cleaner smooth areas", 0x0000
            }
        }
    }
};
