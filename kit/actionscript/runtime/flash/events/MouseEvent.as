package flash.events
{
    /** See flash.display.DisplayObject. */
    public class MouseEvent extends Event
    {
        public static const CLICK:String = "click";

        public function MouseEvent(type:String) { super(type); }
    }
}
