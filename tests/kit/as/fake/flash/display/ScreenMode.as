package flash.display
{
    /**
     * The runtime's ScreenMode for the tests' AVM2: its four read-only
     * members, here variables that the tests' constructor sets.
     */
    public class ScreenMode
    {
        public var width:int;
        public var height:int;
        public var refreshRate:int;
        public var colorDepth:int;

        public function ScreenMode(width:int = 0, height:int = 0, refreshRate:int = 0, colorDepth:int = 0)
        {
            this.width = width;
            this.height = height;
            this.refreshRate = refreshRate;
            this.colorDepth = colorDepth;
        }
    }
}
