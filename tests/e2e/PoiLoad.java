// Loads presentations with Apache POI (binary and package formats alike) and
// prints, for each file named on the command line, one line: "slides N" or
// "error <reason>". Run with the single-file launcher:
//   java -cp <poi jars> tests/e2e/PoiLoad.java FILE...
import java.io.File;

import org.apache.poi.sl.usermodel.SlideShow;
import org.apache.poi.sl.usermodel.SlideShowFactory;

public class PoiLoad {
    public static void main(String[] args) {
        for (String path : args) {
            try (SlideShow<?, ?> show = SlideShowFactory.create(new File(path), null, true)) {
                System.out.println("slides " + show.getSlides().size());
            } catch (Throwable e) {
                String message = String.valueOf(e.getMessage()).replaceAll("\\s+", " ");
                System.out.println("error " + e.getClass().getSimpleName() + ": " + message);
            }
        }
    }
}
