package flash.display
{
    /**
     * A stand-in Screen for the tests' AVM2: of the runtime's members only
     * those VelmorantUtils uses; reset(), describe() and willThrow() are the
     * tests' own. After reset() there is no main screen (null).
     */
    public class Screen
    {
        private static var main:Screen;
        // "mainScreen", "mode" or "modes": the member that throws, as a runtime's might.
        private static var failing:String;

        private var currentMode:ScreenMode;
        private var supportedModes:Array;

        public static function reset():void
        {
            main = null;
            failing = null;
        }

        /** The main screen from now on: its current mode and its modes, either of which may be null. */
        public static function describe(mode:ScreenMode, modes:Array):void
        {
            main = new Screen();
            main.currentMode = mode;
            main.supportedModes = modes;
        }

        public static function willThrow(member:String):void
        {
            failing = member;
        }

        public static function get mainScreen():Screen
        {
            return check("mainScreen", main);
        }

        public function get mode():ScreenMode
        {
            return check("mode", currentMode);
        }

        public function get modes():Array
        {
            return check("modes", supportedModes);
        }

        private static function check(member:String, value:*):*
        {
            if (failing == member)
                throw new Error("the runtime failed to read Screen." + member);
            return value;
        }
    }
}
