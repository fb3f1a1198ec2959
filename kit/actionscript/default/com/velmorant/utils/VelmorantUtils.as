package com.velmorant.utils
{
    /**
     * The VelmorantUtils class on platforms without the native library. An
     * application built against the Windows library runs unchanged there:
     * the same members exist, nothing happens, and nothing reports success.
     */
    public class VelmorantUtils
    {
        /** The id in extension.xml, and what the application descriptor names. */
        public static const EXTENSION_ID:String = "com.velmorant.VelmorantUtils";

        public function VelmorantUtils(contextType:String = "")
        {
        }

        /** Always false: there is no native library here. */
        public function get isSupported():Boolean
        {
            return false;
        }

        /** Always false: the screen mode is left alone. */
        public function setScreenResolution(width:int, height:int):Boolean
        {
            return false;
        }

        public function restoreScreenResolution():void
        {
        }

        public function setKeyboardSpeed(speed:int):void
        {
        }

        public function restoreKeyboardSpeed():void
        {
        }

        public function dispose():void
        {
        }
    }
}
