package
{
    import com.velmorant.utils.VelmorantUtils;
    import flash.display.Sprite;
    import flash.events.MouseEvent;
    import flash.text.TextField;

    /**
     * A small resolution picker on the VelmorantUtils extension: a few screen
     * sizes to switch to, a restore, and the keyboard repeat speed. The class
     * puts the screen back when the application quits, and here the keyboard
     * speed too. Its switches are temporary: Windows drops one when the desktop
     * switches (a UAC prompt, a locked screen), and the class makes it again
     * when the application is activated.
     */
    public class ResolutionPicker extends Sprite
    {
        private static const SIZES:Array = [[800, 600], [1024, 768], [1280, 720], [1920, 1080]];
        // Windows' keyboard speeds run from 0 (slowest) to 31 (fastest).
        private static const SPEEDS:Array = [0, 15, 31];
        private static const ROW:int = 30;

        private var utils:VelmorantUtils = VelmorantUtils.instance;
        private var status:TextField;
        private var rows:int = 0;

        public function ResolutionPicker()
        {
            utils.restoreKeyboardOnExit = true;
            status = addRow(VelmorantUtils.isSupported ? "Pick a screen size or a keyboard speed."
                : "The VelmorantUtils extension is not available: nothing will change.", null);
            for each (var size:Array in SIZES)
                addRow("Switch to " + size[0] + " x " + size[1], switcher(size[0], size[1]));
            addRow("Restore the screen", restoreScreen);
            for each (var speed:int in SPEEDS)
                addRow("Keyboard speed " + speed, speedSetter(speed));
            addRow("Restore the keyboard speed", restoreSpeed);
        }

        private function addRow(text:String, onClick:Function):TextField
        {
            var row:TextField = new TextField();
            row.text = text;
            row.selectable = false;
            row.border = onClick != null;
            row.x = 10;
            row.y = 10 + ROW * rows++;
            row.width = 340;
            row.height = ROW - 6;
            if (onClick != null)
                row.addEventListener(MouseEvent.CLICK, onClick);
            addChild(row);
            return row;
        }

        private function switcher(width:int, height:int):Function
        {
            return function(event:MouseEvent):void {
                var accepted:Boolean = utils.setScreenResolution(width, height);
                status.text = (accepted ? "Switched to " : "Windows refused ") + width + " x " + height + ".";
            };
        }

        private function speedSetter(speed:int):Function
        {
            return function(event:MouseEvent):void {
                utils.setKeyboardSpeed(speed);
                status.text = "Keyboard speed " + speed + ".";
            };
        }

        private function restoreScreen(event:MouseEvent):void
        {
            utils.restoreScreenResolution();
            status.text = "Screen restored.";
        }

        private function restoreSpeed(event:MouseEvent):void
        {
            utils.restoreKeyboardSpeed();
            status.text = "Keyboard speed restored.";
        }
    }
}
